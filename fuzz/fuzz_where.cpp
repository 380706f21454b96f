// SPDX-License-Identifier: MIT
// libFuzzer target: the --where expressions of the record library. Any text either parses into
// a filter that evaluates on a motion without fault, or is refused with AppError.
#include <cmath>
#include <string>

#include "data/error.hpp"
#include "fuzz/fuzz_support.hpp"
#include "library/library.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace accelspec;
  static const library::Motion motion = [] {
    library::Motion m;
    m.name = "RSN1";
    library::Component c;
    c.path = "/records/RSN1_a.AT2";
    c.format = "at2";
    c.event = "Helena";
    c.date = "1935-10-31";
    c.magnitude = 6.0;
    c.measures.pga = 1.0;
    c.measures.d5_95 = std::nan("");
    c.dt = 0.01;
    c.samples = 100;
    m.components = {c, c};
    m.components[1].azimuth = 90;
    return m;
  }();
  try {
    const library::Filter filter = library::parseWhere(std::string(fuzz::text(data, size)));
    (void)filter.matches(motion);
    (void)filter.matches(motion, motion.components[1]);
  } catch (const AppError&) {
  }
  return 0;
}
