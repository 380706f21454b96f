// SPDX-License-Identifier: MIT
// The record readers stream their files: a limit that names itself, a line limit that stops a
// device at once, Ctrl-Z as the end, and a pipe whose writer stays open after a complete record
// is not waited on.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "data/error.hpp"
#include "records/record.hpp"
#include "records/scan.hpp"
#include "tests/files/temp_dir.hpp"

namespace {

using namespace accelspec;
using namespace accelspec::records;
using accelspec::testing::readBytes;
using accelspec::testing::TempDir;
using accelspec::testing::writeBytes;
using Clock = std::chrono::steady_clock;

std::string dataPath(const std::string& name) {
  return std::string(ACCELSPEC_TEST_DATA) + "/records/data/" + name;
}

std::string failure(const std::string& path, const Reading& reading = {}) {
  try {
    readRecord(path, reading);
  } catch (const AppError& e) {
    return e.what();
  }
  return "";
}

// Reads `path` while a thread sends `bytes` through it as a FIFO, `piece` bytes a write, and
// then, when `hold`, keeps it open (as a live sender would) until the reading is over or 10 s
// have passed.
struct PipeRead {
  Record record;
  std::string error;
  Clock::duration elapsed;
};
PipeRead readThroughFifo(const std::string& fifo, const std::string& bytes, const Reading& reading,
                         std::size_t piece = 1 << 16, bool hold = true) {
  ::unlink(fifo.c_str());
  EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::promise<void> readerDone;
  std::thread writer([&, done = readerDone.get_future()] {
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
      const std::size_t n = std::min(piece, bytes.size() - at);
      if (::write(fd, bytes.data() + at, n) != static_cast<ssize_t>(n)) break;
    }
    if (hold) done.wait_for(std::chrono::seconds(10));
    ::close(fd);
  });
  PipeRead r;
  const auto start = Clock::now();
  try {
    r.record = readRecord(fifo, reading);
  } catch (const AppError& e) {
    r.error = e.what();
  }
  r.elapsed = Clock::now() - start;
  readerDone.set_value();
  writer.join();
  return r;
}

TEST(RecordStreaming, DeviceWithoutLineEndsIsRefusedAtOnce) {
  for (const char* format : {"", "at2", "cosmos", "knet", "columns"}) {
    SCOPED_TRACE(format);
    Reading reading;
    if (*format) reading.format = format;
    const auto start = Clock::now();
    EXPECT_EQ(failure("/dev/zero", reading),
              "/dev/zero, строка 1: строка длиннее 1048576 байт: такой файл не читается");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  }
}

TEST(RecordStreaming, PipeHeldOpenAfterACompleteRecordIsNotWaitedOn) {
  TempDir dir;
  Reading channel2;
  channel2.channel = 2;
  Reading step;
  step.step = 0.01;
  struct Case {
    const char* file;
    Reading reading;
    std::string tail;  // sent after the file
    std::size_t piece;
  };
  const Case cases[] = {
      {"new_layout.AT2", {}, "", 1 << 16},
      {"old_layout.at2", {}, "", 3},  // a CR or an LF may come alone at the end of a write
      {"knet.NS", {}, "", 1 << 16},
      {"two_channels.V2", {}, "", 1 << 16},
      {"two_channels.V2", channel2, "", 5},
      {"three.aks", {}, "", 1},
      {"four.brl", {}, "", 1 << 16},
      {"two.aks", {}, "", 1 << 16},  // three lines: fewer than the format finding could look at
      // Its last value has no line end, as in eqsig's own files: from a pipe held open the
      // line could still go on, so the sender here ends it.
      {"motion.txt", {}, "\n", 4},
      // Columns announce no length: a Ctrl-Z ends them.
      {"two_columns.csv", {}, "\x1a", 1 << 16},
      {"one_column.txt", step, "\x1a", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + std::string(" channel ") + std::to_string(c.reading.channel));
    const Record expected = readRecord(dataPath(c.file), c.reading);
    const PipeRead r =
        readThroughFifo(dir.file(c.file), readBytes(dataPath(c.file)) + c.tail, c.reading, c.piece);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.record.accel, expected.accel);
    EXPECT_EQ(r.record.dt, expected.dt);
    EXPECT_EQ(r.record.format, expected.format);
    EXPECT_LT(r.elapsed, std::chrono::seconds(5));
  }
}

TEST(RecordStreaming, BrokenRecordFromAPipeIsStillRefused) {
  TempDir dir;
  // The values stop short of what the header announces, then the sender closes.
  std::string at2 = readBytes(dataPath("new_layout.AT2"));
  at2.resize(at2.rfind('\n', at2.size() - 2) + 1);
  const PipeRead r = readThroughFifo(dir.file("short.AT2"), at2, {}, 1 << 16, false);
  EXPECT_NE(r.error.find("NPTS = 8, а значений в файле: 5"), std::string::npos) << r.error;
}

TEST(RecordStreaming, RegularFileIsReadToItsEndAndChecked) {
  TempDir dir;
  // A regular file never waits: values beyond NPTS are found and refused as before.
  std::string at2 = readBytes(dataPath("new_layout.AT2"));
  writeBytes(dir.file("long.AT2"), at2 + "  1.0\n");
  EXPECT_NE(failure(dir.file("long.AT2")).find("NPTS = 8, а значений в файле: 9"),
            std::string::npos);
  // Nothing after a Ctrl-Z is read.
  writeBytes(dir.file("z.AT2"), at2 + "\x1a" + "garbage\n");
  EXPECT_EQ(readRecord(dir.file("z.AT2")).accel, readRecord(dataPath("new_layout.AT2")).accel);
}

TEST(RecordStreaming, LinesAcrossChunkBoundariesReadAsInMemory) {
  // Over 4 MiB with every kind of line end, so that the 1 MiB chunks split lines, CR LF pairs
  // and the line ends themselves at many places.
  TempDir dir;
  std::string text = "t;a\r\n";
  const char* ends[] = {"\n", "\r\n", "\r"};
  for (int i = 0; i < 300000; ++i)
    text += std::to_string(i) + ".0;" + std::to_string(i % 97) + ".25" + ends[i % 3];
  writeBytes(dir.file("long.csv"), text);
  const Record fromFile = readRecord(dir.file("long.csv"));
  const Record fromText = readRecordText(text, dir.file("long.csv"));
  EXPECT_EQ(fromFile.accel.size(), 300000u);
  EXPECT_EQ(fromFile.accel, fromText.accel);
  EXPECT_EQ(fromFile.dt, fromText.dt);
}

TEST(RecordStreaming, LimitIsRefusedWithItsMessageAndAFileAtTheLimitReads) {
  TempDir dir;
  const auto lines = [&](const std::string& name, std::size_t bytes) {
    std::string text;
    while (text.size() < bytes) text += "1\n";
    writeBytes(dir.file(name), text);
    const int fd = ::open(dir.file(name).c_str(), O_RDONLY | O_CLOEXEC);
    LineCursor cursor(std::make_shared<LineSource>(fd, name, 100, "предел 100 байт", true));
    std::string_view line;
    long n = 0;
    while (cursor.next(line)) ++n;
    return n;
  };
  EXPECT_EQ(lines("at.txt", 100), 50);
  try {
    lines("over.txt", 102);
    FAIL();
  } catch (const AppError& e) {
    EXPECT_STREQ(e.what(), "over.txt: предел 100 байт");
  }
}

}  // namespace
