// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace accelspec {

/// Replaces the file `path` with `data` so that a failure never leaves a half-written file: the
/// bytes go to a new private (0600) file in the same folder, flushed to disk, which then gets
/// the old file's permission bits (0666 less the umask for a new file) and takes its name.
/// Temporaries that killed runs left of the same file are removed first. A symbolic link stays
/// and its file is replaced; a loop of links is "Invalid filename". An existing file that may
/// not be written is refused as an in-place rewrite would be ("File access denied"), and so is a
/// folder. A writable file in a folder that takes no new files is rewritten in place once room
/// for the new content is reserved ("Disk full" when there is none, "File access denied" when
/// the file system cannot reserve). Throws IoError; on failure the old file is whole and the
/// new one removed. Devices and pipes are written, never replaced.
void replaceFile(const std::string& path, std::string_view data);

/// Replaces each file of `files` (name, content) as replaceFile does, all of them or none: every
/// new content is first written and flushed beside its file, and the names change only once all
/// are ready, so a failure up to then changes no file. Only a device or an in-place rewrite
/// failing once others were written, or a rename refused after the first, can leave a part
/// done. Throws the IoError of the first failure, with `failed` set to that file's index.
void replaceFiles(const std::vector<std::pair<std::string, std::string_view>>& files,
                  std::size_t& failed);

}  // namespace accelspec
