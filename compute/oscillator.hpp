// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace accelspec {

/// The per-frequency quantities of the piecewise-exact step of a damped one-degree oscillator
/// driven by a linearly interpolated ground acceleration.
struct Oscillator {
  long double W = 0;     ///< circular natural frequency, rad/s
  long double PsiW = 0;  ///< Psi·W, 1/s
  long double A11 = 0, A12 = 0, B11 = 0, B12 = 0;
  long double A21 = 0, A22 = 0, B21 = 0, B22 = 0;
};

/// The frequency of point J: J·DF + Fbeg, Hz. Throws the floating-point fault it raises.
long double responseFrequency(std::int64_t J, long double DF, long double Fbeg);

/// Coefficients for frequency f (Hz), damping ratio Psi and step DT (s). Throws the
/// floating-point fault of the first formula that raises one.
Oscillator makeOscillator(long double f, long double Psi, long double DT);

/// Peak absolute acceleration (m/s²) of the oscillator at rest at sample 1 and driven by
/// acc[1 … nd] (acc[1] is read even when nd < 2). Throws "Floating point overflow" when the
/// response leaves the extended range. The reference: one step after the other, as written.
long double peakAbsoluteAcceleration(const Oscillator& o, const long double* acc, std::int32_t nd);

/// The same peak, bit for bit, and the same error, from a hand-scheduled x87 loop where one is
/// available (x86-64, rounding to nearest); otherwise from the reference. Expects the fault flags
/// clear on entry. Stops early once the response has overflowed. Leaves the flags clear.
long double peakAbsoluteAccelerationFast(const Oscillator& o, const long double* acc,
                                         std::int32_t nd);

}  // namespace accelspec
