#include "compute/oscillator.hpp"

#include <cmath>

#include "compute/constants.hpp"
#include "data/fpu.hpp"

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

long double peakAbsoluteAcceleration(const Oscillator& o, const long double* acc, std::int32_t nd) {
  const long double W = o.W, PsiW = o.PsiW;
  long double disp = 0, vel = 0;
  long double accRel = ((-acc[1]) - 2 * vel * PsiW) - disp * W * W;
  long double accAbs = accRel + acc[1];
  if (accAbs < 0) accAbs = -accAbs;
  long double accMax = accAbs;
  // Only the previous sample's state is needed; faults here can only start with an overflow,
  // which the flags keep until the check after the loop.
  for (std::int32_t i = 2; i <= nd; ++i) {
    const long double d = acc[i] - acc[i - 1];
    const long double nextDisp = ((disp * o.A11 + vel * o.A12) - d * o.B11) - acc[i - 1] * o.B12;
    const long double nextVel = ((disp * o.A21 + vel * o.A22) - d * o.B21) - acc[i - 1] * o.B22;
    disp = nextDisp;
    vel = nextVel;
    accRel = ((-acc[i]) - 2 * vel * PsiW) - disp * W * W;
    accAbs = accRel + acc[i];
    if (accAbs < 0) accAbs = -accAbs;
    if (accAbs > accMax) accMax = accAbs;
  }
  return checked(accMax);
}

}  // namespace accelspec
