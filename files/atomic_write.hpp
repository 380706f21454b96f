#pragma once

#include <string>
#include <string_view>

namespace accelspec {

/// Replaces the file `path` with `data` so that a failure never leaves a half-written file: the
/// bytes go to a new file in the same folder, flushed to disk, which then takes the old file's
/// name (keeping its permission bits). An existing file that may not be written is refused as
/// an in-place rewrite would be ("File access denied"), and so is a folder. Throws IoError;
/// on failure the old file is untouched and the new one removed.
void replaceFile(const std::string& path, std::string_view data);

}  // namespace accelspec
