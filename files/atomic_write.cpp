// SPDX-License-Identifier: MIT
#include "files/atomic_write.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "data/error.hpp"
#include "data/messages.hpp"

#include "files/textio.hpp"

namespace accelspec {

namespace {

// Writes all of `data` from the descriptor's offset; false with errno set on failure.
bool writeAll(int fd, std::string_view data) {
  const char* p = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left < (1u << 30) ? left : (1u << 30));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

std::string folderOf(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  return folder.empty() ? std::string(".") : folder.string();
}

std::string nameOf(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// A device or a pipe is written, never truncated or replaced.
void writeDevice(const std::string& target, const std::string& path, std::string_view data) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) throwErrnoError(errno, path);
  if (!writeAll(fd, data)) {
    const int err = errno;
    ::close(fd);
    throwErrnoError(err, path);
  }
  if (::close(fd) != 0) throwErrnoError(errno, path);
}

// Rewrites a writable file in a folder that takes no new files. The room for the new content is
// reserved before the first byte is overwritten, so a full disk leaves the old file whole; a
// file system that cannot reserve is refused as the folder refused the new file.
void rewriteInPlace(const std::string& target, const std::string& path, std::string_view data) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) throwErrnoError(errno, path);
  int err = 0;
  if (!data.empty()) {
    err = ::posix_fallocate(fd, 0, static_cast<off_t>(data.size()));
    // No reservation possible here (glibc's fallback for file systems without one needs to read
    // the file, which this descriptor may not): refused, as the folder refused the new file.
    if (err == EOPNOTSUPP || err == EINVAL || err == ENODEV || err == ESPIPE || err == EBADF)
      err = EACCES;
  }
  if (err == 0 && !writeAll(fd, data)) err = errno;
  if (err == 0 && ::ftruncate(fd, static_cast<off_t>(data.size())) != 0) err = errno;
  if (err == 0 && ::fsync(fd) != 0 && errno != EINVAL) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err != 0) throwErrnoError(err, path);
}

// Temporaries of a target are named ".<name>.tmp-<pid>-XXXXXX" beside it, so that the next save
// of the same file finds those a killed run left behind.
// A name near the 255-byte limit is shortened there, so that its temporary can still be made.
std::string temporaryPrefix(const std::string& target) {
  return "." + nameOf(target).substr(0, 200) + ".tmp-";
}

// The writer of a temporary is gone when its process no longer exists and nobody holds the lock
// every writer takes on its temporary (the lock also covers a process id seen from another
// machine on a shared folder, where kill() says nothing).
bool writerGone(const std::string& folder, const std::string& entry, std::size_t prefixLength) {
  const char* first = entry.data() + prefixLength;
  const char* last = entry.data() + entry.size();
  long pid = 0;
  const auto [end, ec] = std::from_chars(first, last, pid);
  if (ec != std::errc() || end == first || end == last || *end != '-' || pid <= 0) return false;
  if (pid == static_cast<long>(::getpid())) return false;  // another thread's live temporary
  if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) return false;
  const int fd = ::open((folder + "/" + entry).c_str(),
                        O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st {};
  const bool gone = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
                    ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return gone;
}

// Removes what killed runs left of earlier saves of `target`; a folder that cannot be listed or
// changed keeps them, which harms nothing but space.
void removeStaleTemporaries(const std::string& folder, const std::string& target) {
  const std::string prefix = temporaryPrefix(target);
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* e = ::readdir(dir)) {
    const std::string entry = e->d_name;
    if (entry.compare(0, prefix.size(), prefix) != 0) continue;
    if (writerGone(folder, entry, prefix.size())) ::unlink((folder + "/" + entry).c_str());
  }
  ::closedir(dir);
}

// Creates a new, empty temporary beside `target`, mode 0600 and locked; returns its descriptor
// (or -1 with errno set).
int createTemporary(const std::string& folder, const std::string& target, std::string& name) {
  name = folder + "/" + temporaryPrefix(target) + std::to_string(::getpid()) + "-XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) ::flock(fd, LOCK_EX);
  return fd;
}

// The process's umask, read without changing it (umask() would, for every thread at once).
// Unknown: 077, so that a new file is at worst too private, never too open.
mode_t currentUmask() {
  std::FILE* status = std::fopen("/proc/self/status", "re");
  if (status == nullptr) return 077;
  mode_t mask = 077;
  char line[256];
  while (std::fgets(line, sizeof line, status)) {
    unsigned value = 0;
    if (std::sscanf(line, "Umask: %o", &value) == 1) {
      mask = static_cast<mode_t>(value & 0777);
      break;
    }
  }
  std::fclose(status);
  return mask;
}

// The refusal of a link the kernel's fs.protected_symlinks rule would not follow.
[[noreturn]] void refuseLink(const std::string& link) {
  throw IoError(iocode::kPlantedLink, msg::plantedLink(link));
}

// Whether a link `st` in the folder `folder` may be followed, by the rule the kernel applies with
// fs.protected_symlinks = 1 (Documentation/admin-guide/sysctl/fs.rst, "protected_symlinks"): in a
// sticky folder every user may write to, only a link of the user's own or of the folder's owner.
// Applied whatever the setting, so that a link another user planted in /tmp never redirects a
// save of ours to a file of the user who runs the program.
bool mayFollow(const std::string& folder, const struct stat& link) {
  if (link.st_uid == ::geteuid()) return true;
  struct stat dir {};
  if (::stat(folder.empty() ? "." : folder.c_str(), &dir) != 0) return true;  // fails later
  const bool shared = (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH);
  return !shared || link.st_uid == dir.st_uid;
}

// The file `path` names, every symbolic link on the way followed as the kernel would, each one
// checked by mayFollow first: the link stays and its file is replaced. A name without links is
// returned as it is, and so is a name whose file does not exist (a link that leads nowhere names
// the link itself). More than 40 links on the way, as the kernel counts, is a loop: an invalid
// name.
std::string resolveTarget(const std::string& path) {
  std::vector<std::string> pending;  // components still to walk, the next one last
  const auto push = [&pending](const std::string& text) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
      const std::size_t slash = text.find('/', from);
      parts.push_back(text.substr(from, slash - from));
      if (slash == std::string::npos) break;
      from = slash + 1;
    }
    pending.insert(pending.end(), parts.rbegin(), parts.rend());
  };
  std::string current = path.starts_with("/") ? "/" : "";  // "": the working folder
  push(path);
  int links = 0;
  while (!pending.empty()) {
    const std::string part = std::move(pending.back());
    pending.pop_back();
    if (part.empty() || part == ".") continue;
    const std::string next =
        current.empty() ? part : current + (current.ends_with("/") ? "" : "/") + part;
    struct stat st {};
    if (::lstat(next.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      current = next;
      continue;
    }
    if (++links > 40) throwErrnoError(ELOOP, path);
    if (!mayFollow(current, st)) refuseLink(next);
    std::string to(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(next.c_str(), to.data(), to.size());
    if (n < 0) throwErrnoError(errno, path);
    to.resize(static_cast<std::size_t>(n));
    if (to.starts_with("/")) current = "/";
    push(to);
  }
  if (links == 0) return path;
  struct stat st {};
  return ::stat(current.c_str(), &st) == 0 ? current : path;
}

// One file of a save, made ready to take its new content: a temporary with the whole content on
// disk that only needs its name (the usual way), or a device or an in-place rewrite, which can
// only be written when the save commits.
struct Staged {
  enum class Way { Rename, Device, InPlace };
  std::string path, target, folder, temporary;
  std::string_view data;
  Way way = Way::Rename;
  int fd = -1;
};

// Removes a temporary that will not be used.
void discard(Staged& s) noexcept {
  if (s.fd < 0) return;
  ::unlink(s.temporary.c_str());
  ::close(s.fd);
  s.fd = -1;
}

Staged stage(const std::string& path, std::string_view data) {
  Staged s;
  s.path = path;
  s.data = data;
  s.target = resolveTarget(path);
  struct stat st {};
  const bool exists = ::stat(s.target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) throwErrnoError(errno, path);
  if (exists) {
    if (S_ISDIR(st.st_mode)) throwErrnoError(EISDIR, path);
    // Refuse what an in-place rewrite would be refused, before anything is created.
    const int probe = ::open(s.target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (probe < 0) throwErrnoError(errno, path);
    ::close(probe);
    if (!S_ISREG(st.st_mode)) {
      s.way = Staged::Way::Device;
      return s;
    }
  }

  s.folder = folderOf(s.target);
  removeStaleTemporaries(s.folder, s.target);
  s.fd = createTemporary(s.folder, s.target, s.temporary);
  if (s.fd < 0) {
    const int err = errno;
    if (exists && (err == EACCES || err == EPERM)) {
      s.way = Staged::Way::InPlace;
      return s;
    }
    throwErrnoError(err, path);
  }
  int err = 0;
  if (!writeAll(s.fd, data)) err = errno;
  // The content was private while written; it takes its final mode only now, before the name.
  const mode_t mode = exists ? st.st_mode & 07777 : 0666 & ~currentUmask();
  if (err == 0 && ::fchmod(s.fd, mode) != 0) err = errno;
  if (err == 0 && exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
    [[maybe_unused]] const int ignored = ::fchown(s.fd, st.st_uid, st.st_gid);
  }
  if (err == 0 && ::fsync(s.fd) != 0 && errno != EINVAL) err = errno;
  if (err != 0) {
    discard(s);
    throwErrnoError(err, path);
  }
  return s;
}

void commit(Staged& s) {
  if (s.way == Staged::Way::Device) return writeDevice(s.target, s.path, s.data);
  if (s.way == Staged::Way::InPlace) return rewriteInPlace(s.target, s.path, s.data);
  if (::rename(s.temporary.c_str(), s.target.c_str()) != 0) {
    const int err = errno;
    discard(s);
    throwErrnoError(err, s.path);
  }
  // Closed only after the rename or the unlink, so that the lock keeps a live temporary from
  // being taken for a stale one; the content is on disk by then, a close can lose nothing.
  ::close(s.fd);
  s.fd = -1;
  // Make the new name itself durable; a folder that cannot be synced changes nothing.
  const int dir = ::open(s.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

}  // namespace

void replaceFile(const std::string& path, std::string_view data) {
  Staged s = stage(path, data);
  commit(s);
}

void replaceFiles(const std::vector<std::pair<std::string, std::string_view>>& files,
                  std::size_t& failed) {
  std::vector<Staged> staged;
  staged.reserve(files.size());
  std::size_t at = 0;
  try {
    for (at = 0; at < files.size(); ++at)
      staged.push_back(stage(files[at].first, files[at].second));
    // Devices and in-place rewrites first: they are the ones that can still fail; a rename in
    // a folder that just took a new file hardly does.
    for (int pass = 0; pass < 2; ++pass) {
      for (at = 0; at < staged.size(); ++at)
        if ((staged[at].way == Staged::Way::Rename) == (pass == 1)) commit(staged[at]);
    }
  } catch (...) {
    failed = at;
    for (Staged& s : staged) discard(s);
    throw;
  }
}

}  // namespace accelspec
