// SPDX-License-Identifier: MIT
#include "analysis/grid.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>

#include "data/error.hpp"

namespace accelspec::analysis {
namespace {

std::string failure(const std::string& grid) {
  try {
    parseGrid(grid);
  } catch (const AppError& e) {
    return e.what();
  }
  return "";
}

TEST(Grid, CountsAndEnds) {
  struct Case {
    const char* text;
    std::size_t count;
    double first, last;  // frequencies, Hz
  } cases[] = {
      {"log:0.1:100:100", 301, 0.1, 100},
      {"log:1:2:10", 4, 1, 1.9952623149688795},  // 10^(3/10) ≤ 2 < 10^(4/10)
      {"log:5:5:7", 1, 5, 5},
      {"log:0.1:0.9999999995:1", 2, 0.1, 1},  // 1 is within 1e-9 of the upper bound
      {"log:0.1:0.999999998:1", 1, 0.1, 0.1},
      {"periods:0.01:10:10", 31, 0.1, 100},
      {"lin:0.5:2:0.5", 4, 0.5, 2},
      {"lin:2:30:0.3", 94, 2, 29.9},
      {"lin:0.1:0.3:0.1", 3, 0.1, 0.3},  // (0.3 − 0.1)/0.1 is just below 2: the 1e-9 keeps it
      {"lin:3:3:1", 1, 3, 3},
      {"srp", 75, 0.2, 33},
      {"nga", 111, 0.05, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::vector<GridPoint> g = parseGrid(c.text);
    ASSERT_EQ(g.size(), c.count);
    EXPECT_DOUBLE_EQ(g.front().frequency, c.first);
    EXPECT_DOUBLE_EQ(g.back().frequency, c.last);
    for (std::size_t j = 1; j < g.size(); ++j) EXPECT_LT(g[j - 1].frequency, g[j].frequency);
  }
}

TEST(Grid, PeriodGridsKeepTheirPeriods) {
  const std::vector<GridPoint> nga = parseGrid("nga");
  EXPECT_EQ(nga.front().period, 20);
  EXPECT_EQ(nga[110 - 60].period, 0.667);
  EXPECT_EQ(nga.back().period, 0.01);
  const std::vector<GridPoint> p = parseGrid("periods:0.1:2.5:100");
  EXPECT_EQ(p.back().period, 0.1);
  EXPECT_NEAR(p.front().period, 0.1 * std::pow(10.0, 139 / 100.0), 1e-15);
  const std::vector<GridPoint> srp = parseGrid("srp");
  EXPECT_EQ(srp[29].frequency, 3.15);
  EXPECT_EQ(srp[52].frequency, 8.5);
  EXPECT_EQ(srp[74].period, 1 / 33.0);
}

TEST(Grid, FrequencyFiles) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("accelspec-grid-" + std::to_string(::getpid()) + ".txt");
  const std::string name = path.string();
  struct Case {
    const char* text;
    std::vector<double> frequencies;
    std::string message;
  } cases[] = {
      {"5\n1\r\n# comment\n\n 2.5  # between\n", {1, 2.5, 5}, ""},
      {"1\n2\nabc\n", {}, name + ", строка 3: ожидается одна частота в Гц, число больше нуля"},
      {"1\n0\n", {}, name + ", строка 2: ожидается одна частота в Гц, число больше нуля"},
      {"1 2\n", {}, name + ", строка 1: ожидается одна частота в Гц, число больше нуля"},
      {"3\n1\n3\n", {}, name + ", строка 3: частота повторяется"},
      {"# none\n\n", {}, name + ": в файле нет ни одной частоты"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::ofstream(path, std::ios::binary) << c.text;
    EXPECT_EQ(failure("file:" + name), c.message);
    if (!c.message.empty()) continue;
    std::vector<double> got;
    for (const GridPoint& p : parseGrid("file:" + name)) got.push_back(p.frequency);
    EXPECT_EQ(got, c.frequencies);
  }
  std::filesystem::remove(path);
  EXPECT_EQ(failure("file:" + name), name + ": File not found");
}

TEST(Grid, BadTexts) {
  const std::string forms =
      "ожидается log:FMIN:FMAX:N, periods:TMIN:TMAX:N, lin:FBEG:FEND:DF, srp, nga или file:PATH";
  struct Case {
    const char* text;
    std::string why;
  } cases[] = {
      {"", forms},
      {"SRP", forms},
      {"log:0.1:100", forms},
      {"log:0.1:100:100:1", forms},
      {"cubic:1:2:3", forms},
      {"log:0.1:x:100", forms},
      {"log:0,1:100:100", forms},
      {"file:", forms},
      {"log:0:100:100", "границы и шаг должны быть больше нуля"},
      {"lin:-1:5:1", "границы и шаг должны быть больше нуля"},
      {"lin:1:5:0", "границы и шаг должны быть больше нуля"},
      {"log:100:0.1:100", "верхняя граница меньше нижней"},
      {"periods:2:1:10", "верхняя граница меньше нижней"},
      {"log:0.1:100:0", "число точек на декаду должно быть целым от 1 до 100000"},
      {"log:0.1:100:2.5", "число точек на декаду должно быть целым от 1 до 100000"},
      {"log:1e-300:1e300:1000", "в сетке более 100000 точек"},
      {"lin:1:1e9:0.001", "в сетке более 100000 точек"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(failure(c.text), "неверная сетка «" + std::string(c.text) + "»: " + c.why);
}

// A frequency list is streamed: a device is stopped at once, a Ctrl-Z ends the list (so that a
// sender that keeps a FIFO open after it is not waited on), and an endless list of blank lines
// stops at the limit, which the message names.
TEST(Grid, FrequencyFilesAreReadWithinBounds) {
  const std::string dir = std::filesystem::temp_directory_path() /
                          ("accelspec-grid-bounds-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  EXPECT_EQ(failure("file:/dev/zero"),
            "/dev/zero, строка 1: строка длиннее 1048576 байт: такой файл не читается");

  const std::string z = dir + "/z.txt";
  std::ofstream(z, std::ios::binary) << "2\n1\n\x1a"
                                     << "garbage\n";
  const std::vector<GridPoint> g = parseGrid("file:" + z);
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(g[1].frequency, 2);

  const std::string big = dir + "/big.txt";
  {
    std::ofstream out(big, std::ios::binary);
    out << "1\n" << std::string(8 * 1024 * 1024, '\n');
  }
  EXPECT_EQ(failure("file:" + big),
            big + ": файл больше 8 МиБ — предела для списков частот; такой файл не читается");

  const std::string fifo = dir + "/fifo.txt";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::promise<void> readerDone;
  std::thread writer([&, done = readerDone.get_future()] {
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    const std::string_view text = "1\n2\n3\n\x1a";
    [[maybe_unused]] const ssize_t n = ::write(fd, text.data(), text.size());
    done.wait_for(std::chrono::seconds(10));  // kept open, as a live sender's would be
    ::close(fd);
  });
  const auto start = std::chrono::steady_clock::now();
  const std::size_t points = parseGrid("file:" + fifo).size();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  readerDone.set_value();
  writer.join();
  EXPECT_EQ(points, 3u);
  EXPECT_LT(elapsed, std::chrono::seconds(5));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace accelspec::analysis
