// SPDX-License-Identifier: MIT
#include "files/textio.hpp"

#include <gtest/gtest.h>
#include <locale.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cfenv>
#include <cfloat>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>

#include "data/error.hpp"
#include "data/numbers.hpp"
#include "files/atomic_write.hpp"
#include "tests/files/temp_dir.hpp"

namespace accelspec {
namespace {

using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

constexpr long double kInf = std::numeric_limits<long double>::infinity();
constexpr long double kNaN = std::numeric_limits<long double>::quiet_NaN();

TEST(RealField, WorkedExamples) {
  const std::pair<long double, const char*> cases[] = {
      {10, " 1.00000000000000E+0001"},
      {2, " 2.00000000000000E+0000"},
      {0.004L, " 4.00000000000000E-0003"},
      {-0.5L, "-5.00000000000000E-0001"},
      {0, " 0.00000000000000E+0000"},
      {-0.0L, "-0.00000000000000E+0000"},                 // the sign bit decides the first position
      {2.34567890123456789L, " 2.34567890123457E+0000"},  // 16th digit raises the 15th
      {123456.7890123456L, " 1.23456789012345E+0005"},    // scaled mantissa in [10, 16): cut
      {9.9999999999999999L, " 1.00000000000000E+0001"},   // carry into a new leading digit
      {56, " 5.60000000000000E+0001"},
      {-12.5L, "-1.25000000000000E+0001"},
      {1.0L / 3.0L, " 3.33333333333333E-0001"},
      {0.15L, " 1.50000000000000E-0001"},
      {-0.02L, "-2.00000000000000E-0002"},
      {19.996L, " 1.99960000000000E+0001"},
      {1e100L, " 1.00000000000000E+0100"},
      {LDBL_MAX, " 1.18973149535723E+4932"},
      {LDBL_MIN, " 3.36210314311209E-4932"},
      {std::numeric_limits<long double>::denorm_min(), " 3.64519953188247E-4951"},
      {kInf, "                   +Inf"},
      {-kInf, "                   -Inf"},
      {kNaN, "                    Nan"},
      {-kNaN, "                    Nan"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(realField(value), text) << text;
}

TEST(RealField, LeavesTheFloatingPointEnvironmentAlone) {
  const long double values[] = {
      1.0L / 3.0L, LDBL_MAX, std::numeric_limits<long double>::denorm_min(), 1e-4940L, kNaN,
      -kInf,       0};
  std::feclearexcept(FE_ALL_EXCEPT);
  for (long double v : values) realField(v);
  EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0);

  std::feraiseexcept(FE_INVALID | FE_OVERFLOW);
  std::fesetround(FE_UPWARD);
  EXPECT_EQ(realField(2.34567890123456789L), " 2.34567890123457E+0000");
  EXPECT_EQ(std::fegetround(), FE_UPWARD);
  std::fesetround(FE_TONEAREST);
  EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), FE_INVALID | FE_OVERFLOW);
  std::feclearexcept(FE_ALL_EXCEPT);
}

TEST(RealField, ReadsBackToFifteenSignificantDigits) {
  std::mt19937_64 random(12345);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> exponent(-4900, 4900);
  for (int i = 0; i < 20000; ++i) {
    const long double v = (i % 2 ? -1 : 1) * static_cast<long double>(mantissa(random)) *
                          std::pow(10.0L, static_cast<long double>(exponent(random)));
    const std::string field = realField(v);
    ASSERT_EQ(field.size(), 23u);
    long double back = 0;
    ASSERT_TRUE(parseFileReal(field.substr(field[0] == ' ' ? 1 : 0), back)) << field;
    // Nearest to 15 digits, or cut after 15 where the scaled mantissa lay in [10, 16).
    EXPECT_LE(std::fabs(back - v), 1e-14L * std::fabs(v)) << field;
    EXPECT_EQ(realField(back), field);
  }
  long double third = 0;
  ASSERT_TRUE(parseFileReal("3.33333333333333E-0001", third));
  EXPECT_EQ(third, 0.333333333333333L);
}

TEST(ParseFileReal, AcceptedTexts) {
  const std::pair<const char*, long double> cases[] = {
      {"5.", 5},
      {".5", 0.5L},
      {".", 0},  // no mantissa digits at all: 0
      {"-.", 0},
      {"E5", 0},
      {".e-3", 0},
      {"+1.5E+0002", 150},
      {"1e5", 100000},
      {"-2.5", -2.5L},
      {"4.00000000000000E-0003", 0.004L},
      {"0.004", 0.004L},
      {"1E4931", 1e4931L},
      {"1E-5000", 0},  // below the range: 0
      {"000000000000000000000000001.5", 1.5L},
      {"0.000000000000000000000000000000000001", 1e-36L},
      {"12345678901234567890123", 12345678901234567890123.0L},
      {"1.00000000000000000000000000000001", 1},
  };
  for (const auto& [text, expected] : cases) {
    long double v = -99;
    EXPECT_TRUE(parseFileReal(text, v)) << text;
    EXPECT_EQ(v, expected) << text;
  }
  long double negativeZero = 1;
  ASSERT_TRUE(parseFileReal("-0.0E+0000", negativeZero));
  EXPECT_TRUE(std::signbit(negativeZero));
}

TEST(ParseFileReal, RefusedTexts) {
  const char* cases[] = {"",     "-",     "+",   "2,5",    "1e",   "1e+",
                         "E",    "1.2.3", "abc", "Nan",    "+Inf", "0x10",
                         "1e5x", "--1",   "..",  "1E4933", "1 ",   "\xd0\xb0"};
  for (const char* text : cases) {
    long double v = 0;
    EXPECT_FALSE(parseFileReal(text, v)) << text;
  }
}

TEST(ParseFileReal, AgreesWithTheCorrectlyRoundedConversion) {
  // The short road (one multiplication or division) must give strtold's bits exactly.
  const locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  std::mt19937_64 random(777);
  for (int i = 0; i < 50000; ++i) {
    const int digits = 1 + static_cast<int>(random() % 22);
    std::string text;
    for (int d = 0; d < digits; ++d) text += static_cast<char>('0' + random() % 10);
    if (random() % 2) text.insert(random() % (text.size() + 1), ".");
    text += "E" + std::to_string(static_cast<int>(random() % 90) - 45);
    long double mine = 0;
    ASSERT_TRUE(parseFileReal(text, mine)) << text;
    const long double reference = strtold_l(text.c_str(), nullptr, c);
    ASSERT_EQ(std::memcmp(&mine, &reference, 10), 0) << text;
  }
  freelocale(c);
}

TEST(ParseFileInteger, Texts) {
  const std::pair<const char*, std::int32_t> ok[] = {{"5000", 5000},
                                                     {"+7", 7},
                                                     {"-2147483648", INT32_MIN},
                                                     {"2147483647", INT32_MAX},
                                                     {"$FF", 255},
                                                     {"0x1f", 31},
                                                     {"-$10", -16},
                                                     {"007", 7}};
  for (const auto& [text, expected] : ok) {
    std::int32_t v = 0;
    EXPECT_TRUE(parseFileInteger(text, v)) << text;
    EXPECT_EQ(v, expected) << text;
  }
  const char* bad[] = {"2147483648", "5000.0", "1e3", "x1F", "$", "0x", "-", "12a", "", "1.0"};
  for (const char* text : bad) {
    std::int32_t v = 0;
    EXPECT_FALSE(parseFileInteger(text, v)) << text;
  }
}

TEST(TextReader, NumbersAcrossLinesAndTheEndOfData) {
  TextReader in("  1.5\r\n\t\r\n-2 \x1a 3 4");
  EXPECT_FALSE(in.eof());
  EXPECT_EQ(in.readReal(), 1.5L);
  EXPECT_EQ(in.readReal(), -2);
  EXPECT_FALSE(in.eof());       // a blank is still ahead of the Ctrl-Z
  EXPECT_EQ(in.readReal(), 0);  // the data ends while skipping: 0, no error
  EXPECT_TRUE(in.eof());
  EXPECT_EQ(in.readInteger(), 0);
}

TEST(TextReader, RunsAreCutAtTheirLimit) {
  const std::string digits70(70, '1');
  TextReader reals(digits70);
  EXPECT_EQ(reals.readReal(), std::strtold(std::string(64, '1').c_str(), nullptr));
  EXPECT_EQ(reals.readReal(), 111111);
  const std::string integer40 = std::string(34, '0') + "123456";
  TextReader integers(integer40);
  EXPECT_EQ(integers.readInteger(), 0);  // 32 zeros
  EXPECT_EQ(integers.readInteger(), 123456);
}

TEST(TextReader, InvalidTextIsNumericInputError) {
  TextReader in("2,5 1");
  try {
    in.readReal();
    FAIL();
  } catch (const IoError& e) {
    EXPECT_EQ(e.code(), 106);
    EXPECT_STREQ(e.what(), "Invalid numeric input");
  }
}

TEST(TextReader, LineSkipsAndLines) {
  TextReader crlf("1 2 3\r\n4");
  crlf.readReal();
  crlf.skipLine();
  EXPECT_EQ(crlf.readReal(), 4);

  TextReader lfOnly("1 2\n3 4\n5 6\n");  // an LF alone ends a line too
  lfOnly.readReal();
  lfOnly.skipLine();
  EXPECT_EQ(lfOnly.readReal(), 3);
  lfOnly.skipLine();
  lfOnly.skipLine();
  EXPECT_TRUE(lfOnly.eof());

  TextReader lfCr("1\n\r2");  // LF then CR: two line ends
  lfCr.skipLine();
  EXPECT_EQ(lfCr.readLine(), "");
  EXPECT_EQ(lfCr.readLine(), "2");

  TextReader twoCr("a\r\rb");  // only one CR goes with the line end
  twoCr.skipLine();
  EXPECT_EQ(twoCr.readLine(), "");
  EXPECT_EQ(twoCr.readLine(), "b");
  EXPECT_TRUE(twoCr.eof());
  EXPECT_EQ(twoCr.readLine(), "");

  TextReader lines("  name, with blanks \r\n\r\ntitle\n\x1a hidden");
  EXPECT_EQ(lines.readLine(), "  name, with blanks ");
  EXPECT_EQ(lines.readLine(), "");
  EXPECT_EQ(lines.readLine(), "title");
  EXPECT_TRUE(lines.eof());
}

TEST(TextReader, LabelSkipStopsAtCarriageReturn) {
  TextReader full("1234567890123456789012: 42\r\n");
  full.skipLabel();
  EXPECT_EQ(full.readReal(), 42);

  TextReader shortLabel("short:\r\n7 8");
  shortLabel.skipLabel();
  EXPECT_EQ(shortLabel.readReal(), 7);  // the value read goes on to the next line

  TextReader lfLabel("short:\n7 8");
  lfLabel.skipLabel();
  EXPECT_EQ(lfLabel.readReal(), 7);
}

struct ErrorCase {
  std::string path;
  int code;
  const char* text;
};

TEST(ReadWholeFile, ErrorsByCause) {
  TempDir dir;
  const ErrorCase cases[] = {
      {dir.file("missing.spv"), 2, "File not found"},
      {dir.file("no-such-folder/a.spv"), 3, "Invalid filename"},
      {dir.path(), 5, "File access denied"},
      {dir.file(std::string(300, 'x')), 3, "Invalid filename"},
  };
  for (const auto& c : cases) {
    try {
      readWholeFile(c.path);
      ADD_FAILURE() << c.path;
    } catch (const IoError& e) {
      EXPECT_EQ(e.code(), c.code) << c.path;
      EXPECT_STREQ(e.what(), c.text) << c.path;
    }
  }
  writeBytes(dir.file("a.txt"), std::string("x\0y", 3));
  EXPECT_EQ(readWholeFile(dir.file("a.txt")), std::string("x\0y", 3));
}

TEST(ReplaceFile, CreatesAndReplacesKeepingPermissions) {
  TempDir dir;
  const std::string path = dir.file("a.spv");
  replaceFile(path, "first");
  EXPECT_EQ(readBytes(path), "first");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  replaceFile(path, "second");
  EXPECT_EQ(readBytes(path), "second");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  // A link stays a link; the file behind it gets the new content.
  const std::string link = dir.file("link.spv");
  ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
  replaceFile(link, "third");
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(readBytes(path), "third");
}

TEST(ReplaceFile, RefusedTargetsKeepWhatWasThere) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.file("folder.spv").c_str(), 0755), 0);
  const ErrorCase cases[] = {
      {dir.file("folder.spv"), 5, "File access denied"},
      {dir.file("missing/a.spv"), 3, "Invalid filename"},
  };
  for (const auto& c : cases) {
    try {
      replaceFile(c.path, "data");
      ADD_FAILURE() << c.path;
    } catch (const IoError& e) {
      EXPECT_EQ(e.code(), c.code) << c.path;
      EXPECT_STREQ(e.what(), c.text) << c.path;
    }
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder.spv")));
}

// What replaceFile says about a file it may not write, and whether the file kept its content.
std::string tryReadOnlyTarget(const std::string& path) {
  try {
    replaceFile(path, "new");
    return "written";
  } catch (const IoError& e) {
    return e.what();
  }
}

TEST(ReplaceFile, ReadOnlyFileIsAccessDenied) {
  TempDir dir;
  const std::string path = dir.file("ro.spv");
  writeBytes(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  if (::geteuid() != 0) {
    EXPECT_EQ(tryReadOnlyTarget(path), "File access denied");
  } else {
    // Root may write any file: try as an ordinary user, in a folder that user may write to.
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
      _exit(!dropped ? 2 : tryReadOnlyTarget(path) == "File access denied" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  EXPECT_EQ(readBytes(path), "old");
}

// The file size limit makes the write fail halfway, for root too.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit saved_{};
  void (*previous_)(int) = nullptr;
};

TEST(ReplaceFile, FailedWriteLeavesTheOldFileIntact) {
  TempDir dir;
  const std::string path = dir.file("config.cfg");
  writeBytes(path, "the old content\r\n");
  try {
    FileSizeLimit limit(4096);
    replaceFile(path, std::string(100000, 'x'));
    ADD_FAILURE() << "the write should fail";
  } catch (const IoError& e) {
    EXPECT_STREQ(e.what(), "Disk full");
  }
  EXPECT_EQ(readBytes(path), "the old content\r\n");
  int files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
    ++files;
  EXPECT_EQ(files, 1);  // no temporary file left behind
}

}  // namespace
}  // namespace accelspec
