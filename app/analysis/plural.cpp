// SPDX-License-Identifier: MIT
#include "app/analysis/plural.hpp"

namespace accelspec {

QString russianCount(long long n, const char* one, const char* few, const char* many) {
  const long long a = n < 0 ? -n : n;
  const long long last = a % 10, lastTwo = a % 100;
  const char* word = many;
  if (lastTwo < 11 || lastTwo > 14) {
    if (last == 1) word = one;
    if (last >= 2 && last <= 4) word = few;
  }
  return QString::number(n) + QLatin1Char(' ') + QString::fromUtf8(word);
}

}  // namespace accelspec
