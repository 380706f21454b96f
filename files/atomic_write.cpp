#include "files/atomic_write.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "files/textio.hpp"

namespace accelspec {

namespace {

// Writes all of `data`; false with errno set on failure.
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
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return path.substr(0, slash == 0 ? 1 : slash);
}

// Truncates and rewrites the file itself: for targets that are not regular files, and for a
// writable file in a folder that takes no new files.
void rewriteInPlace(const std::string& target, const std::string& path, std::string_view data) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) throwErrnoError(errno, path);
  if (!writeAll(fd, data)) {
    const int err = errno;
    ::close(fd);
    throwErrnoError(err, path);
  }
  if (::close(fd) != 0) throwErrnoError(errno, path);
}

// Creates a new, empty file beside `target`; returns its descriptor (or -1 with errno set).
int createTemporary(const std::string& folder, std::string& name) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto tick = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    name = folder + "/.accelspec-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) +
           "-" + std::to_string(tick % 1000000007ULL) + ".tmp";
    // 0666 less the umask, as for any new file; an existing file's bits are copied later.
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

void replaceFile(const std::string& path, std::string_view data) {
  // A symbolic link stays a link: the file it points to is replaced.
  std::string target = path;
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists) {
    if (S_ISDIR(st.st_mode)) throwErrnoError(EISDIR, path);
    // Refuse what an in-place rewrite would be refused, before anything is created.
    const int probe = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (probe < 0) throwErrnoError(errno, path);
    ::close(probe);
    if (!S_ISREG(st.st_mode)) {  // a device or a pipe is written, never replaced
      rewriteInPlace(target, path, data);
      return;
    }
  }

  std::string temporary;
  const int fd = createTemporary(folderOf(target), temporary);
  if (fd < 0) {
    const int err = errno;
    if (exists && (err == EACCES || err == EPERM)) {
      rewriteInPlace(target, path, data);
      return;
    }
    throwErrnoError(err, path);
  }
  int err = 0;
  if (!writeAll(fd, data)) err = errno;
  if (err == 0 && exists) {
    ::fchmod(fd, st.st_mode & 07777);
    if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
      [[maybe_unused]] const int ignored = ::fchown(fd, st.st_uid, st.st_gid);
    }
  }
  if (err == 0 && ::fsync(fd) != 0 && errno != EINVAL) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(temporary.c_str());
    throwErrnoError(err, path);
  }
  // Make the new name itself durable; a folder that cannot be synced changes nothing.
  const int dir = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

}  // namespace accelspec
