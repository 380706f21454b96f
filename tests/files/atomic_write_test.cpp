// SPDX-License-Identifier: MIT
#include "files/atomic_write.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "data/error.hpp"
#include "tests/files/temp_dir.hpp"

namespace accelspec {
namespace {

using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

mode_t modeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// Runs `body` in a child process (as an ordinary user when run as root, since root writes into
// any folder); true when it returned true.
bool inChild(const std::function<bool()>& body, bool asUser = false) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (asUser && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) _exit(2);
    _exit(body() ? 0 : 1);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string failureOf(const std::string& path, std::string_view data) {
  try {
    replaceFile(path, data);
    return "";
  } catch (const AppError& e) {
    return e.what();
  }
}

void limitFileSize(rlim_t bytes) {
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = bytes;
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

struct ModeCase {
  mode_t umask;
  int existing;  // -1: no file yet
  mode_t expected;
};

TEST(AtomicWrite, NewFilesFollowTheUmaskAndReplacedFilesKeepTheirMode) {
  const ModeCase cases[] = {
      {022, -1, 0644},   {077, -1, 0600},   {027, -1, 0640},   {0, -1, 0666},
      {022, 0600, 0600}, {077, 0644, 0644}, {022, 0604, 0604},
  };
  const mode_t saved = ::umask(022);
  for (const auto& c : cases) {
    TempDir dir;
    const std::string path = dir.file("a.spv");
    if (c.existing >= 0) {
      writeBytes(path, "old");
      ASSERT_EQ(::chmod(path.c_str(), static_cast<mode_t>(c.existing)), 0);
    }
    ::umask(c.umask);
    replaceFile(path, "new");
    ::umask(022);
    EXPECT_EQ(modeOf(path), c.expected) << std::oct << c.umask << " " << c.existing;
    EXPECT_EQ(readBytes(path), "new");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"a.spv"});
  }
  ::umask(saved);
}

TEST(AtomicWrite, RunKilledMidWriteLeavesAPrivateTemporaryTheNextSaveRemoves) {
  TempDir dir;
  const std::string path = dir.file("a.aks");
  writeBytes(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_DFL);  // killed as a run without a handler would be
    limitFileSize(4096);
    try {
      replaceFile(path, std::string(100000, 'x'));
    } catch (...) {
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(readBytes(path), "old");
  const auto names = namesIn(dir.path());
  ASSERT_EQ(names.size(), 2u);
  const std::string temporary = names[0];
  const std::string prefix = ".a.aks.tmp-" + std::to_string(child) + "-";
  EXPECT_EQ(temporary.compare(0, prefix.size(), prefix), 0) << temporary;
  EXPECT_EQ(modeOf(dir.file(temporary)), 0600u) << "the new content is private while written";

  replaceFile(path, "new");
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"a.aks"});
  EXPECT_EQ(readBytes(path), "new");
  EXPECT_EQ(modeOf(path), 0644u);
}

TEST(AtomicWrite, OnlyTemporariesOfTheSameFileWhoseWriterIsGoneAreRemoved) {
  TempDir dir;
  const pid_t dead = ::fork();
  if (dead == 0) _exit(0);
  ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
  const std::string d = std::to_string(dead);
  const std::string self = std::to_string(::getpid());
  struct Entry {
    std::string name;
    bool kept;
  };
  const Entry entries[] = {
      {".a.spv.tmp-" + d + "-AbC123", false},
      {".a.spv.tmp-1-AbC123", true},             // a live process's
      {".a.spv.tmp-" + self + "-AbC123", true},  // another thread's of this process
      {".b.spv.tmp-" + d + "-AbC123", true},     // another file's
      {".a.spv.tmp-" + d + "-Locked", true},     // its lock still held
      {".a.spv.tmp-" + d, true},                 // not a name the writer makes
      {".a.spv.tmp-x" + d + "-AbC123", true},
      {"a.spv.tmp-" + d + "-AbC123", true},
  };
  for (const auto& e : entries) writeBytes(dir.file(e.name), "partial");
  const int locked = ::open(dir.file(".a.spv.tmp-" + d + "-Locked").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(locked, LOCK_EX), 0);
  replaceFile(dir.file("a.spv"), "new");
  ::close(locked);
  for (const auto& e : entries)
    EXPECT_EQ(std::filesystem::exists(dir.file(e.name)), e.kept) << e.name;
  EXPECT_EQ(readBytes(dir.file("a.spv")), "new");
}

TEST(AtomicWrite, ConcurrentSavesOfOneFileAllSucceed) {
  TempDir dir;
  const std::string path = dir.file("a.spo");
  std::vector<std::thread> writers;
  std::vector<int> failures(4, 0);
  for (int w = 0; w < 4; ++w) {
    writers.emplace_back([&, w] {
      for (int i = 0; i < 25; ++i) {
        if (!failureOf(path, std::string(1000, static_cast<char>('a' + w))).empty())
          ++failures[static_cast<std::size_t>(w)];
      }
    });
  }
  for (auto& t : writers) t.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"a.spo"});
  const std::string content = readBytes(path);
  EXPECT_EQ(content, std::string(1000, content.at(0)));
}

TEST(AtomicWrite, NameAtTheLengthLimitIsReplacedToo) {
  TempDir dir;
  const std::string path = dir.file(std::string(251, 'n') + ".spv");
  writeBytes(path, "old");
  EXPECT_EQ(failureOf(path, "new"), "");
  EXPECT_EQ(readBytes(path), "new");
  EXPECT_EQ(namesIn(dir.path()).size(), 1u);
}

TEST(AtomicWrite, LoopOfLinksIsAnInvalidName) {
  TempDir dir;
  const std::string a = dir.file("a.spv"), b = dir.file("b.spv"), self = dir.file("self.spv");
  ASSERT_EQ(::symlink(b.c_str(), a.c_str()), 0);
  ASSERT_EQ(::symlink(a.c_str(), b.c_str()), 0);
  ASSERT_EQ(::symlink(self.c_str(), self.c_str()), 0);
  for (const std::string& path : {a, self, a + "/inside.spv"}) {
    EXPECT_EQ(failureOf(path, "data"), "Invalid filename") << path;
  }
  struct stat st {};
  for (const std::string& path : {a, b, self}) {
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << path;
  }
}

TEST(AtomicWrite, SeveralFilesAreReplacedAllOrNone) {
  TempDir dir;
  const std::string a = dir.file("a.csv"), b = dir.file("b.pdf");
  writeBytes(a, "old a");
  std::size_t failed = 99;
  EXPECT_THROW(replaceFiles({{a, "new a"}, {dir.file("missing/b.pdf"), "new b"}}, failed), IoError);
  EXPECT_EQ(failed, 1u);
  EXPECT_EQ(readBytes(a), "old a");
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"a.csv"});
  replaceFiles({{a, "new a"}, {b, "new b"}}, failed);
  EXPECT_EQ(readBytes(a) + readBytes(b), "new anew b");
  EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"a.csv", "b.pdf"}));
}

// fs.protected_symlinks: in a sticky folder open to everyone, a link is followed only when it is
// the user's own or the folder owner's, wherever the links on the way stand.
TEST(AtomicWrite, LinkPlantedInASharedStickyFolderIsNotFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "links of another user can be made only by root (lchown)";
  const uid_t other = 65534, owner = 65533;
  struct Case {
    const char* name;
    mode_t folderMode;
    uid_t folderOwner, linkOwner;
    bool followed;
  } cases[] = {
      {"another user's link in a shared sticky folder", 01777, 0, other, false},
      {"the user's own link there", 01777, 0, 0, true},
      {"the folder owner's link", 01777, owner, owner, true},
      {"a folder that is not sticky", 0777, 0, other, true},
      {"a sticky folder only its owner may write to", 01755, 0, other, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir home, shared;
    const std::string victim = home.file("results.csv");
    writeBytes(victim, "the user's own data\n");
    ASSERT_EQ(::mkdir(home.file("dir").c_str(), 0755), 0);
    ASSERT_EQ(::chown(shared.path().c_str(), c.folderOwner, 0), 0);
    ASSERT_EQ(::chmod(shared.path().c_str(), c.folderMode), 0);
    const std::string link = shared.file("out.csv"), folderLink = shared.file("dir");
    ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
    ASSERT_EQ(::symlink(home.file("dir").c_str(), folderLink.c_str()), 0);
    ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, 0), 0);
    ASSERT_EQ(::lchown(folderLink.c_str(), c.linkOwner, 0), 0);
    // A link of the user's own in a private folder leading to the planted one changes nothing.
    const std::string own = home.file("via.csv");
    ASSERT_EQ(::symlink(link.c_str(), own.c_str()), 0);

    for (const std::string& path : {link, own}) {
      const std::string failure = failureOf(path, "new\n");
      if (c.followed) {
        EXPECT_EQ(failure, "") << path;
        EXPECT_EQ(readBytes(victim), "new\n") << path;
      } else {
        EXPECT_EQ(failure, "запись через символьную ссылку " + link +
                               " запрещена: ссылка лежит в общей папке (с битом sticky, открытой "
                               "всем на запись) и принадлежит другому пользователю")
            << path;
        EXPECT_EQ(readBytes(victim), "the user's own data\n") << path;
      }
      writeBytes(victim, "the user's own data\n");
    }
    const std::string inside = folderLink + "/new.csv";
    EXPECT_EQ(failureOf(inside, "new\n").empty(), c.followed);
    EXPECT_EQ(std::filesystem::exists(home.file("dir/new.csv")), c.followed);
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));  // the link stays either way
  }
}

struct InPlaceCase {
  const char* name;
  std::string data;
  rlim_t sizeLimit;   // RLIM_INFINITY: none
  const char* error;  // "": written
};

TEST(AtomicWrite, FolderThatRefusesNewFilesKeepsTheOldFileWholeOnAFullDisk) {
  const std::string old = "the old content, long enough to be cut short\r\n";
  const InPlaceCase cases[] = {
      {"shorter", "new\r\n", RLIM_INFINITY, ""},
      {"longer", std::string(5000, 'n'), RLIM_INFINITY, ""},
      {"empty", "", RLIM_INFINITY, ""},
      {"beyond the room left", std::string(100000, 'n'), 4096, "Disk full"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string path = dir.file("config.cfg");
    writeBytes(path, old);
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    const bool asExpected = inChild(
        [&] {
          std::signal(SIGXFSZ, SIG_IGN);
          if (c.sizeLimit != RLIM_INFINITY) limitFileSize(c.sizeLimit);
          return failureOf(path, c.data) == c.error;
        },
        true);
    EXPECT_TRUE(asExpected) << c.name;
    EXPECT_EQ(readBytes(path), *c.error ? old : c.data) << c.name;
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"config.cfg"}) << c.name;
  }
}

}  // namespace
}  // namespace accelspec
