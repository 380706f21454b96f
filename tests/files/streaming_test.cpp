// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <thread>

#include "data/error.hpp"
#include "data/plain_form.hpp"
#include "files/config.hpp"
#include "files/file_kind.hpp"
#include "files/formats.hpp"
#include "files/textio.hpp"
#include "tests/files/temp_dir.hpp"

namespace accelspec {
namespace {

using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

// What a read left, as the text the program would write of it: two reads agree exactly when
// these agree.
std::string written(FileKind kind, const Store& s, const PlainForm& form) {
  switch (kind) {
    case kSpv:
      return formatSpv(s);
    case kSpo:
      return formatSpo(s);
    case kAks:
    case kBrl:
      return formatAks(s);
    case kCfg:
      return formatConfiguration(s, form);
  }
  return {};
}

void readAs(FileKind kind, TextReader& in, Store& s, PlainForm& form) {
  switch (kind) {
    case kSpv:
      return readSpv(in, s);
    case kSpo:
      return readSpo(in, s);
    case kAks:
      return readAks(in, s);
    case kBrl:
      return readBrl(in, s);
    case kCfg:
      return readConfiguration(in, s, form);
  }
}

void readPathAs(FileKind kind, const std::string& path, Store& s, PlainForm& form) {
  switch (kind) {
    case kSpv:
      return readSpv(path, s);
    case kSpo:
      return readSpo(path, s);
    case kAks:
      return readAks(path, s);
    case kBrl:
      return readBrl(path, s);
    case kCfg:
      return readConfiguration(path, s, form);
  }
}

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

struct KindCase {
  const char* name;
  FileKind kind;
  std::string crlf;  // a file as the program (or the recording system) writes it
};

std::vector<KindCase> kindCases() {
  return {
      {"spectrum", kSpv, "1 1\r\n5 3\r\n10 2\r\n"},
      {"response", kSpo, " 2.0E+0000  8.1E-0001\r\n 2.5E+0000  1.2E+0000\r\n3 0.95\r\n"},
      {"accelerogram", kAks, "4 1\r\n0 0.15\r\n0.004 -0.02\r\n0.008 0\r\n0.012 7.5\r\n"},
      {"imported record", kBrl, "3 samples\r\n1 0 0.5\r\n2 0.01 -1\r\n3 0.02 2\r\n"},
      {"configuration", kCfg,
       readBytes(std::string(ACCELSPEC_TEST_DATA) + "/files/data/example.cfg")},
  };
}

TEST(LineEnds, LoneLfAndLoneCrEndLinesOfEveryKind) {
  TempDir dir;
  for (const auto& c : kindCases()) {
    ASSERT_NE(c.crlf.find("\r\n"), std::string::npos) << c.name;
    const std::string variants[] = {c.crlf, replaceAll(c.crlf, "\r\n", "\n"),
                                    replaceAll(c.crlf, "\r\n", "\r")};
    std::string expected;
    for (const auto& text : variants) {
      const std::string path = dir.file("input");
      writeBytes(path, text);
      auto store = makeStore();
      PlainForm form;
      readPathAs(c.kind, path, *store, form);
      const std::string got = written(c.kind, *store, form);
      if (expected.empty()) {
        expected = got;
        // The CR LF file of every kind holds more than one line of data.
        EXPECT_GT(std::count(got.begin(), got.end(), '\n'), 2) << c.name;
      }
      EXPECT_EQ(got, expected) << c.name << ": " << text.substr(0, 12);
      EXPECT_EQ(replaceAll(got, "\r\n", ""), replaceAll(replaceAll(got, "\r\n", ""), "\n", ""))
          << c.name << ": every line written ends with CR LF";
    }
  }
}

// A descriptor over `text` read from its start.
class TextFile {
 public:
  TextFile(const TempDir& dir, std::string_view text) : path_(dir.file("streamed")) {
    writeBytes(path_, text);
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  }
  ~TextFile() { ::close(fd_); }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int fd_;
};

TEST(Streaming, AnyBufferSizeReadsAsTheTextInMemory) {
  TempDir dir;
  for (const auto& c : kindCases()) {
    // Runs longer than a buffer, a line end split between two reads, data after a Ctrl-Z.
    const std::string text = replaceAll(c.crlf, "\r\n", "   \r\n") + "\x1a 9 9 9\r\n";
    auto reference = makeStore();
    PlainForm referenceForm;
    TextReader inMemory(text);
    readAs(c.kind, inMemory, *reference, referenceForm);
    const std::string expected = written(c.kind, *reference, referenceForm);
    for (const std::size_t bufferSize : {1u, 2u, 3u, 5u, 47u, 4096u}) {
      TextFile file(dir, text);
      TextReader in(file.fd(), file.path(), inputLimit(c.kind), bufferSize);
      auto store = makeStore();
      PlainForm form;
      readAs(c.kind, in, *store, form);
      EXPECT_EQ(written(c.kind, *store, form), expected) << c.name << ", buffer " << bufferSize;
    }
  }
}

TEST(Streaming, LinesAndLabelsAcrossBufferEnds) {
  TempDir dir;
  TextFile file(dir, "label: 12\r\nname line\n\nlast\r\r\n7");
  TextReader in(file.fd(), file.path(), {1000, "too large"}, 2);
  in.skipLabel(6);
  EXPECT_EQ(in.readInteger(), 12);
  in.skipLine();
  EXPECT_EQ(in.readLine(), "name line");
  EXPECT_EQ(in.readLine(), "");
  EXPECT_EQ(in.readLine(), "last");
  EXPECT_EQ(in.readLine(), "");  // CR alone, then CR LF
  EXPECT_FALSE(in.eof());
  EXPECT_EQ(in.readReal(), 7);
  EXPECT_TRUE(in.eof());
}

struct LimitCase {
  const char* name;
  std::string text;
  const char* error;  // null: read to its end
};

TEST(Streaming, DataBeyondTheLimitIsRefused) {
  TempDir dir;
  const LimitCase cases[] = {
      {"exactly the limit", "1 2 3 4 5 ", nullptr},
      {"one byte more", "1 2 3 4 5 6", "too large"},
      {"blanks past the limit", std::string(10, ' ') + "\r\n", "too large"},
      {"a Ctrl-Z right at the limit", "1 2 3 4 5 \x1a 7 8 9", nullptr},
      {"the end right at the limit", "         1", nullptr},
  };
  for (const auto& c : cases) {
    for (const std::size_t bufferSize : {1u, 4u, 64u}) {
      TextFile file(dir, c.text);
      TextReader in(file.fd(), file.path(), {10, "too large"}, bufferSize);
      try {
        while (!in.eof()) in.readReal();
        EXPECT_EQ(c.error, nullptr) << c.name << ", buffer " << bufferSize;
      } catch (const AppError& e) {
        ASSERT_NE(c.error, nullptr) << c.name << ": " << e.what();
        EXPECT_STREQ(e.what(), c.error) << c.name;
        EXPECT_TRUE(in.eof()) << c.name << ": nothing more after the refusal";
      }
    }
  }
}

TEST(Streaming, EndlessZerosAreRefusedForEveryKind) {
  for (const auto& c : kindCases()) {
    auto store = makeStore();
    PlainForm form;
    try {
      readPathAs(c.kind, "/dev/zero", *store, form);
      ADD_FAILURE() << c.name;
    } catch (const AppError& e) {
      EXPECT_EQ(e.what(), inputLimit(c.kind).message) << c.name;
    }
  }
}

TEST(Streaming, PipeThatSendsCtrlZIsNotWaitedOn) {
  TempDir dir;
  const std::string fifo = dir.file("record.aks");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::promise<void> readerDone;
  std::thread writer([&, done = readerDone.get_future()] {
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    const std::string_view text = "2 1\r\n0 1\r\n0.5 2\r\n\x1a";
    [[maybe_unused]] const ssize_t n = ::write(fd, text.data(), text.size());
    done.wait_for(std::chrono::seconds(10));  // the pipe stays open, as a live sender's would
    ::close(fd);
  });
  const auto start = std::chrono::steady_clock::now();
  auto store = makeStore();
  readAks(fifo, *store);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  readerDone.set_value();
  writer.join();
  EXPECT_EQ(store->ND, 2);
  EXPECT_EQ(store->Acc[2], 2);
  EXPECT_LT(elapsed, std::chrono::seconds(5));
}

TEST(Streaming, FolderIsAccessDenied) {
  TempDir dir;
  auto store = makeStore();
  try {
    readSpv(dir.path(), *store);
    FAIL();
  } catch (const IoError& e) {
    EXPECT_STREQ(e.what(), "File access denied");
  }
}

}  // namespace
}  // namespace accelspec
