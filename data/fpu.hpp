// SPDX-License-Identifier: MIT
#pragma once

#include <cfenv>
#include <cstdint>

namespace accelspec::fpu {

/// The three faults that end a command; underflow, denormals and inexact results pass.
inline constexpr int kFaults = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

/// Clears the fault flags; every command calls it before its first formula.
inline void clear() { std::feclearexcept(kFaults); }

/// Throws the AppError of the first pending fault: division by zero, then overflow, then invalid
/// operation (an infinity made by the first two is what usually turns into a NaN later).
/// The flags are cleared before the throw.
void raisePending();

/// Forces x to be evaluated before the flags are read (g++ otherwise moves the operation past
/// the test or drops it), then throws if the evaluation faulted. Returns x.
[[gnu::always_inline]] inline long double checked(long double x) {
  asm volatile("" : "+t"(x) : : "memory");
  if (std::fetestexcept(kFaults)) raisePending();
  return x;
}

/// Trunc: toward zero. Throws "Invalid floating point operation" when the result is not finite
/// or does not fit a signed 64-bit integer.
std::int64_t trunc64(long double x);
/// Round: to nearest, halves to even. Same failure as trunc64.
std::int64_t round64(long double x);

/// Narrowing to double as the chart does it: throws "Floating point overflow" when |x| rounds
/// beyond the double range. NaN stays NaN.
double toDouble(long double x);

/// The nearest value toDouble takes without a fault: a finite x beyond the double range
/// becomes ±DBL_MAX; infinities and NaN stay as they are.
long double clampToDouble(long double x);

/// For the span of a scope: the rounding mode `mode`, and on leaving, the caller's rounding mode
/// and status flags as they were. Number text and integer rounding run in one, so that they
/// neither depend on nor disturb the caller's floating-point environment.
class Scope {
 public:
  explicit Scope(int mode = FE_TONEAREST) : round_(std::fegetround()) {
    std::fegetexceptflag(&flags_, FE_ALL_EXCEPT);
    std::fesetround(mode);
  }
  ~Scope() {
    std::fesetround(round_);
    std::fesetexceptflag(&flags_, FE_ALL_EXCEPT);
  }
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;

 private:
  int round_;
  std::fexcept_t flags_{};
};

}  // namespace accelspec::fpu
