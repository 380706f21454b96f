#include "report/report.hpp"

#include <algorithm>

#include "data/numbers.hpp"

namespace accelspec {

namespace {

void appendPoint(ReportPage& page, long double f, long double a, char sep) {
  page.frequencyLines.push_back(realToText(f, sep));
  page.accelerationLines.push_back(realToText(a, sep));
  page.series.add(f, a);
}

void startPage(ReportPage& page, const char* heading, const char* title) {
  page.labelEnabled = true;
  page.chartEnabled = true;
  page.heading = heading;
  page.chartTitle = title;
  page.frequencyLines.emplace_back("Частота");
  page.accelerationLines.emplace_back("Ускорение");
}

}  // namespace

void fillReport(const Store& store, ReportPage& page, char sep) {
  page.frequencyLines.clear();
  page.accelerationLines.clear();
  page.series.clear();

  if (store.Mode == kModeInputSpectrum) {
    startPage(page, "Отчёт по спектру воздействий", "СПЕКТР ВОЗДЕЙСТВИЙ");
    // A count read from a damaged file never takes the loop past the arrays.
    const int last = std::min(store.N, kArraySize - 1);
    for (int i = 1; i <= last; ++i) appendPoint(page, store.SpF[i], store.SpA[i], sep);
  } else if (store.Mode == kModeResponseSpectrum) {
    startPage(page, "Отчёт по спектру ответов", "СПЕКТР ОТВЕТОВ");
    const int last = std::min(store.NF, kMaxResponseLastIndex);
    for (int j = 0; j <= last; ++j) {
      appendPoint(page, store.SpF[kResponseBase + j], store.SpA[kResponseBase + j], sep);
    }
  }
}

}  // namespace accelspec
