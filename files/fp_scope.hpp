#pragma once

#include <cfenv>

namespace accelspec {

/// For the span of a scope: rounding to nearest, and on leaving, the caller's floating-point
/// status flags and rounding mode as they were. Used around number formatting, which must
/// neither depend on nor disturb the caller's environment.
class FpScope {
 public:
  FpScope() : round_(std::fegetround()) {
    std::fegetexceptflag(&flags_, FE_ALL_EXCEPT);
    std::fesetround(FE_TONEAREST);
  }
  ~FpScope() {
    std::fesetround(round_);
    std::fesetexceptflag(&flags_, FE_ALL_EXCEPT);
  }
  FpScope(const FpScope&) = delete;
  FpScope& operator=(const FpScope&) = delete;

 private:
  int round_;
  std::fexcept_t flags_{};
};

}  // namespace accelspec
