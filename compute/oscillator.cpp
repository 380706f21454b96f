// SPDX-License-Identifier: MIT
#include "compute/oscillator.hpp"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>

#include "compute/constants.hpp"
#include "data/error.hpp"
#include "data/fpu.hpp"
#include "data/messages.hpp"

namespace accelspec {

using fpu::checked;

long double responseFrequency(std::int64_t J, long double DF, long double Fbeg) {
  return checked(checked(static_cast<long double>(J) * DF) + Fbeg);
}

Oscillator makeOscillator(long double f, long double Psi, long double DT) {
  Oscillator o;
  const long double W = checked(f * kTwoPi);
  const long double PsiW = checked(Psi * W);
  const long double Wd = checked(std::sqrt(checked(checked(W * W) - checked(PsiW * PsiW))));
  const long double decay = checked(std::exp(checked((-PsiW) * DT)));
  const long double ES = checked(checked(std::sin(checked(Wd * DT))) * decay);
  const long double EC = checked(checked(std::cos(checked(Wd * DT))) * decay);
  const long double esPsiWOverWd = checked(checked(ES * PsiW) / Wd);

  o.W = W;
  o.PsiW = PsiW;
  o.A11 = checked(esPsiWOverWd + EC);
  o.A12 = checked(ES / Wd);
  const long double b11a = checked(checked(checked(DT * W) * W) - checked(2 * PsiW));
  const long double b11b =
      checked(checked(checked(checked(PsiW * PsiW) - checked(Wd * Wd)) * ES) / Wd);
  const long double b11c = checked(checked(2 * PsiW) * EC);
  long double B11 = checked(checked(b11a + b11b) + b11c);
  B11 = checked(B11 / DT);
  B11 = checked(B11 / W);
  B11 = checked(B11 / W);
  B11 = checked(B11 / W);
  o.B11 = checked(B11 / W);
  o.B12 = checked(checked(checked(checked(1 - esPsiWOverWd) - EC) / W) / W);
  o.A21 = checked(checked((-o.A12) * W) * W);
  o.A22 = checked(EC - esPsiWOverWd);
  o.B21 = checked(o.B12 / DT);
  o.B22 = o.A12;
  return o;
}

namespace {

// Absolute acceleration at sample 1, where the oscillator is at rest.
long double restingAccAbs(const Oscillator& o, long double acc1) {
  const long double disp = 0, vel = 0;
  const long double accRel = ((-acc1) - 2 * vel * o.PsiW) - disp * o.W * o.W;
  long double accAbs = accRel + acc1;
  if (accAbs < 0) accAbs = -accAbs;
  return accAbs;
}

}  // namespace

long double peakAbsoluteAcceleration(const Oscillator& o, const long double* acc, std::int32_t nd) {
  const long double W = o.W, PsiW = o.PsiW;
  long double disp = 0, vel = 0;
  long double accMax = restingAccAbs(o, acc[1]);
  // Only the previous sample's state is needed; faults here can only start with an overflow,
  // which the flags keep until the check after the loop.
  for (std::int32_t i = 2; i <= nd; ++i) {
    const long double d = acc[i] - acc[i - 1];
    const long double nextDisp = ((disp * o.A11 + vel * o.A12) - d * o.B11) - acc[i - 1] * o.B12;
    const long double nextVel = ((disp * o.A21 + vel * o.A22) - d * o.B21) - acc[i - 1] * o.B22;
    disp = nextDisp;
    vel = nextVel;
    const long double accRel = ((-acc[i]) - 2 * vel * PsiW) - disp * W * W;
    long double accAbs = accRel + acc[i];
    if (accAbs < 0) accAbs = -accAbs;
    if (accAbs > accMax) accMax = accAbs;
  }
  return checked(accMax);
}

#if defined(__x86_64__) && defined(__GNUC__)

namespace {

// What the x87 loop reads, 16 bytes apart (B22 is A12: makeOscillator makes them equal).
struct X87Coefficients {
  long double A11, A12, B11, B12, A21, A22, B21, PsiW, W;
};
// What it carries from one stretch of samples to the next.
struct X87State {
  long double disp, vel, peak;
};
static_assert(sizeof(long double) == 16 && offsetof(X87Coefficients, W) == 128 &&
              offsetof(X87State, peak) == 32);

// Samples between two looks at the overflow flag: once the response is infinite every x87 step
// is a slow microcoded one, and the outcome is already settled.
constexpr std::int32_t kStretch = 4096;

// Steps I = from … to (2 <= from <= to) of the reference loop, bit for bit, for rounding to
// nearest. The whole state stays on the x87 stack: D V P M A from the top, P = Acc[I − 1],
// M = peak, A = A12 kept for its two uses. The products are accumulated in the registers of
// values seen for the last time, so no register is spilled. Sign trick: with rounding to nearest
// RN(−x) = −RN(x), so s = ((Acc[I] + t) + u) − Acc[I] is the exact negation of the reference's
// AccRel[I] + Acc[I] = (((−Acc[I]) − t) − u) + Acc[I]; the magnitude is the same and the fabs
// differs from "negate when below 0" only for −0, which never wins the strict comparison.
// The peak is compared with fcomi, which faults on a NaN like the reference's test for < 0.
void x87Steps(const X87Coefficients& c, const long double* acc, std::int32_t from, std::int32_t to,
              X87State& state) {
  const long double* p = acc + from;
  const long double* const end = acc + to + 1;
  asm volatile(
      "fldt 16(%[c])\n\t"
      "fldt 32(%[st])\n\t"
      "fldt -16(%[p])\n\t"
      "fldt 16(%[st])\n\t"
      "fldt 0(%[st])\n\t"  // D V P M A
      ".p2align 4\n"
      "1:\n\t"
      "fldt (%[p])\n\t"         // ai D V P M A
      "fsub %%st(3), %%st\n\t"  // d = ai − P
      "fldt 0(%[c])\n\t"
      "fmul %%st(2), %%st\n\t"  // x = D·A11
      "fld %%st(6)\n\t"
      "fmul %%st(4), %%st\n\t"   // V·A12
      "faddp %%st, %%st(1)\n\t"  // x d D V P M A
      "fldt 32(%[c])\n\t"
      "fmul %%st(2), %%st\n\t"  // d·B11
      "fsubrp %%st, %%st(1)\n\t"
      "fldt 48(%[c])\n\t"
      "fmul %%st(5), %%st\n\t"    // P·B12
      "fsubrp %%st, %%st(1)\n\t"  // nd d D V P M A
      "fldt 64(%[c])\n\t"
      "fmulp %%st, %%st(3)\n\t"  // nd d y V P M A, y = D·A21
      "fldt 80(%[c])\n\t"
      "fmulp %%st, %%st(4)\n\t"  // nd d y u P M A, u = V·A22
      "fxch %%st(2)\n\t"
      "faddp %%st, %%st(3)\n\t"  // d nd y P M A, y = y + u
      "fldt 96(%[c])\n\t"
      "fmulp %%st, %%st(1)\n\t"   // z nd y P M A, z = d·B21
      "fsubrp %%st, %%st(2)\n\t"  // nd y P M A, y = y − z
      "fxch %%st(2)\n\t"
      "fmul %%st(4), %%st\n\t"    // w y nd M A, w = P·A12
      "fsubrp %%st, %%st(1)\n\t"  // nv nd M A
      "fldt (%[p])\n\t"           // ai nv nd M A
      "fld %%st(1)\n\t"
      "fadd %%st(0), %%st\n\t"  // 2·nv
      "fldt 112(%[c])\n\t"
      "fmulp %%st, %%st(1)\n\t"  // t = 2·nv·PsiW
      "fadd %%st(1), %%st\n\t"   // s = ai + t
      "fldt 128(%[c])\n\t"
      "fld %%st(0)\n\t"
      "fmul %%st(5), %%st\n\t"   // nd·W
      "fmulp %%st, %%st(1)\n\t"  // u = nd·W·W
      "faddp %%st, %%st(1)\n\t"  // s = s + u
      "fsub %%st(1), %%st\n\t"   // s = s − ai
      "fabs\n\t"
      "fcomi %%st(4), %%st\n\t"
      "fcmovbe %%st(4), %%st\n\t"
      "fstp %%st(4)\n\t"  // ai nv nd M A
      "fxch %%st(2)\n\t"  // D V P M A for the next sample
      "add $16, %[p]\n\t"
      "cmp %[p], %[end]\n\t"
      "jne 1b\n\t"
      "fstpt 0(%[st])\n\t"
      "fstpt 16(%[st])\n\t"
      "fstp %%st(0)\n\t"
      "fstpt 32(%[st])\n\t"
      "fstp %%st(0)\n\t"
      : [p] "+r"(p)
      : [c] "r"(&c), [end] "r"(end), [st] "r"(&state)
      : "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)", "cc", "memory");
}

bool sameBits(long double a, long double b) { return std::memcmp(&a, &b, 10) == 0; }

}  // namespace

long double peakAbsoluteAccelerationFast(const Oscillator& o, const long double* acc,
                                         std::int32_t nd) {
  if (std::fegetround() != FE_TONEAREST || !sameBits(o.B22, o.A12))
    return peakAbsoluteAcceleration(o, acc, nd);
  const X87Coefficients c{o.A11, o.A12, o.B11, o.B12, o.A21, o.A22, o.B21, o.PsiW, o.W};
  X87State state{0, 0, restingAccAbs(o, acc[1])};
  for (std::int64_t from = 2; from <= nd; from += kStretch) {
    const auto to = static_cast<std::int32_t>(std::min<std::int64_t>(nd, from + kStretch - 1));
    x87Steps(c, acc, static_cast<std::int32_t>(from), to, state);
    // No step divides, so once the overflow flag is up the reference reports an overflow,
    // whatever follows it.
    if (std::fetestexcept(FE_OVERFLOW)) {
      fpu::clear();
      throw AppError(msg::kOverflow);
    }
  }
  if (std::fetestexcept(fpu::kFaults)) {
    // A NaN in the record: the reference knows which fault it reports.
    fpu::clear();
    return peakAbsoluteAcceleration(o, acc, nd);
  }
  return state.peak;
}

#else

long double peakAbsoluteAccelerationFast(const Oscillator& o, const long double* acc,
                                         std::int32_t nd) {
  return peakAbsoluteAcceleration(o, acc, nd);
}

#endif

}  // namespace accelspec
