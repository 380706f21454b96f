// SPDX-License-Identifier: MIT
#include "data/fpu.hpp"

#include <cfloat>
#include <cmath>
#include <string>

#include "data/error.hpp"
#include "data/messages.hpp"

namespace accelspec::fpu {

void raisePending() {
  const int raised = std::fetestexcept(kFaults);
  clear();
  if (raised & FE_DIVBYZERO) throw AppError(msg::kDivByZero);
  if (raised & FE_OVERFLOW) throw AppError(msg::kOverflow);
  if (raised & FE_INVALID) throw AppError(msg::kInvalidOp);
}

namespace {

// 2^63 is exact in long double; every finite value in [-2^63, 2^63) fits int64 once integral.
constexpr long double kTwo63 = 9223372036854775808.0L;

std::int64_t toInt64(long double integral) {
  if (!std::isfinite(integral) || integral < -kTwo63 || integral >= kTwo63)
    throw AppError(msg::kInvalidOp);
  return static_cast<std::int64_t>(integral);
}

}  // namespace

std::int64_t trunc64(long double x) { return toInt64(std::truncl(x)); }

std::int64_t round64(long double x) {
  Scope nearest;
  return toInt64(std::nearbyintl(x));
}

double toDouble(long double x) {
  // (2^54 − 1)·2^970 is DBL_MAX plus half an ulp: from there on the nearest double is infinity.
  constexpr long double kLimit = (18014398509481984.0L - 1.0L) * 0x1p970L;
  if (std::isfinite(x) && std::fabs(x) >= kLimit) throw AppError(msg::kOverflow);
  return static_cast<double>(x);
}

long double clampToDouble(long double x) {
  constexpr long double kMax = DBL_MAX;
  if (!std::isfinite(x)) return x;
  return x > kMax ? kMax : x < -kMax ? -kMax : x;
}

}  // namespace accelspec::fpu
