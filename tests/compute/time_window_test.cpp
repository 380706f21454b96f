// SPDX-License-Identifier: MIT
#include "compute/time_window.hpp"

#include "compute_test_support.hpp"
#include "data/messages.hpp"

namespace accelspec {
namespace {

using testing::failureOf;
using testing::Fixture;

// An accelerogram of nd samples whose values are their own indices.
void setRecord(Fixture& t, int nd, long double dt) {
  t.s.Mode = kModeAccelerogram;
  t.s.ND = nd;
  t.s.DT = dt;
  for (int k = 1; k <= nd; ++k) t.s.Acc[k] = k;
}

void setWindow(PlainForm& form, const char* from, const char* to) {
  form.setText(Edit::Tbeg, from);
  form.setText(Edit::Tend, to);
}

TEST(TimeWindow, FullSpanKeepsTheRecordAndRedrawsNDSamples) {
  Fixture t;
  setRecord(t, 5000, 0.004L);
  t.form.chart().series(0).add(0, 1);  // a sample the synthesis drew beyond ND
  t.form.chart().series(4).add(1, 1);
  setWindow(t.form, "0", "19.996");
  cutTimeWindow(t.s, t.form);
  EXPECT_EQ(t.s.ND, 5000);
  EXPECT_EQ(t.s.Acc[5000], 5000);
  EXPECT_EQ(t.form.chart().series(0).size(), 5000u);
  EXPECT_EQ(t.form.chart().series(4).size(), 1u);  // other series stay
  EXPECT_EQ(t.form.text(Edit::Tend), "19.996");
}

TEST(TimeWindow, CutsOnTheSampleGrid) {
  struct Case {
    const char *from, *to;
    long double dt;
    int nd;
    long double first;
    const char* tend;
  };
  const Case cases[] = {
      {"2", "5", 0.004L, 751, 501, "3"},
      {"0.625", "2", 0.25L, 7, 3, "1.5"},  // 2.5 samples: halves go to even, 2
      {"0.875", "2", 0.25L, 5, 5, "1"},    // 3.5 samples: 4
      {"5", "2", 0.004L, -749, 1, "-3"},   // end before start: nothing copied
  };
  for (const auto& c : cases) {
    Fixture t;
    setRecord(t, 5000, c.dt);
    setWindow(t.form, c.from, c.to);
    cutTimeWindow(t.s, t.form);
    EXPECT_EQ(t.s.ND, c.nd) << c.from;
    EXPECT_EQ(t.s.Acc[1], c.first) << c.from;
    EXPECT_EQ(t.form.text(Edit::Tbeg), "0");
    EXPECT_EQ(t.form.text(Edit::Tend), c.tend) << c.from;
    EXPECT_EQ(t.form.chart().series(0).size(), static_cast<size_t>(std::max(c.nd, 0)));
    EXPECT_EQ(t.s.Acc[4999], 4999);  // samples above the new ND keep their values
  }
}

TEST(TimeWindow, DoesNothingUnlessAnAccelerogramIsShown) {
  for (ModeKind mode : {kModeNone, kModeInputSpectrum, kModeResponseSpectrum}) {
    Fixture t;
    setRecord(t, 10, 0.004L);
    t.s.Mode = mode;
    t.form.chart().series(0).add(1, 1);
    setWindow(t.form, "bad", "bad");
    cutTimeWindow(t.s, t.form);
    EXPECT_EQ(t.form.chart().series(0).size(), 1u);
    EXPECT_EQ(t.s.ND, 10);
  }
}

TEST(TimeWindow, Failures) {
  struct Case {
    const char *from, *to;
    long double dt;
    std::string message;
    long double tbeg;
  };
  const Case cases[] = {
      {"x", "1", 0.004L, "'x' is not a valid floating point value", 9},
      {"1", "", 0.004L, "'' is not a valid floating point value", 1},
      {"1", "2", 0, std::string(msg::kDivByZero), 1},
      {"0", "0", 0, std::string(msg::kInvalidOp), 0},
      {"-1", "2", 0.004L, std::string(msg::kWindowOutOfRange), -1},
      {"0", "400.1", 0.004L, std::string(msg::kWindowOutOfRange), 0},
      {"0", "1e30", 0.004L, std::string(msg::kWindowOutOfRange), 0},
      {"1e10", "0", 0.004L, std::string(msg::kWindowOutOfRange), 1e10L},
  };
  for (const auto& c : cases) {
    Fixture t;
    setRecord(t, 100, c.dt);
    t.s.Tbeg = 9;
    t.form.chart().series(0).add(1, 1);
    setWindow(t.form, c.from, c.to);
    EXPECT_EQ(failureOf([&] { cutTimeWindow(t.s, t.form); }), c.message) << c.from << c.to;
    EXPECT_EQ(t.s.Tbeg, c.tbeg) << c.from;
    EXPECT_EQ(t.s.ND, 100) << c.from;
    EXPECT_EQ(t.s.Acc[1], 1) << c.from;
    EXPECT_TRUE(t.form.chart().series(0).empty()) << c.from;
    EXPECT_EQ(t.s.Mode, kModeAccelerogram);
  }
}

TEST(TimeWindow, ReachesTheLastElementOfTheArray) {
  Fixture t;
  setRecord(t, 100000, 0.25L);
  setWindow(t.form, "24999.75", "24999.75");  // sample 100000 alone
  cutTimeWindow(t.s, t.form);
  EXPECT_EQ(t.s.ND, 1);
  EXPECT_EQ(t.s.Acc[1], 100000);
}

}  // namespace
}  // namespace accelspec
