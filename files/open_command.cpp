#include "files/open_command.hpp"

#include <string>

#include "data/fpu.hpp"
#include "data/messages.hpp"
#include "data/numbers.hpp"
#include "files/config.hpp"
#include "files/file_kind.hpp"
#include "files/formats.hpp"
#include "memory/memory.hpp"

namespace accelspec {

namespace {

void titles(Chart& chart, std::string_view title, std::string_view axis) {
  chart.setTitle(std::string(title));
  chart.setBottomAxisTitle(std::string(axis));
}

void openInputSpectrum(const std::string& path, Store& s, Form& form) {
  s.Mode = kModeInputSpectrum;
  Chart& chart = form.chart();
  titles(chart, msg::kTitleInputSpectrum, msg::kAxisFrequency);
  readSpv(path, s);
  form.setText(Edit::N, intToText(s.N));
  form.setRowCount(Grid::Spv, s.N + 1);
  const char sep = form.decimalSeparator();
  for (std::int32_t j = 1; j <= s.N; ++j) {
    form.setCell(Grid::Spv, 0, j, realToText(s.SpF[j], sep));
    form.setCell(Grid::Spv, 1, j, realToText(s.SpA[j], sep));
    chart.series(0).addClamped(s.SpF[j], s.SpA[j]);
  }
}

void openAccelerogram(const std::string& path, bool imported, Store& s, Form& form) {
  s.Mode = kModeAccelerogram;
  Chart& chart = form.chart();
  titles(chart, msg::kTitleAccelerogram, msg::kAxisTime);
  if (imported) {
    readBrl(path, s);
  } else {
    readAks(path, s);
  }
  s.Tbeg = 0;
  s.Tend = fpu::checked(s.T - s.DT);
  const char sep = form.decimalSeparator();
  form.setText(Edit::Tbeg, realToText(s.Tbeg, sep));
  form.setText(Edit::Tend, realToText(s.Tend, sep));
  form.setText(Edit::T, realToText(s.T, sep));
  form.setText(Edit::ND, intToText(s.ND));
  form.setText(Edit::DT, realToText(s.DT, sep));
  // The time axis starts at 0 whatever the file's first time was.
  for (std::int32_t i = 1; i <= s.ND; ++i)
    chart.series(0).addClamped(fpu::checked(static_cast<long double>(i - 1) * s.DT), s.Acc[i]);
}

void openResponseSpectrum(const std::string& path, Store& s, Form& form) {
  s.Mode = kModeResponseSpectrum;
  Chart& chart = form.chart();
  titles(chart, msg::kTitleResponseSpectrum, msg::kAxisFrequency);
  readSpo(path, s);
  // An empty file has no first or last frequency: the range and its fields stay as they were.
  if (s.NF >= 0) {
    s.Fbeg = s.SpF[kResponseBase];
    s.Fend = s.SpF[kResponseBase + s.NF];
    const char sep = form.decimalSeparator();
    form.setText(Edit::Fbeg, realToText(s.Fbeg, sep));
    form.setText(Edit::Fend, realToText(s.Fend, sep));
  }
  for (std::int32_t j = 0; j <= s.NF; ++j)
    chart.series(0).addClamped(s.SpF[kResponseBase + j], s.SpA[kResponseBase + j]);
}

void openConfiguration(const std::string& path, Store& s, Form& form) {
  s.Mode = kModeNone;
  readConfiguration(path, s, form);
  showMemoryList(s, form);
}

}  // namespace

void openFile(Store& store, Form& form) {
  if (!form.executeOpenDialog()) return;
  form.clearMemo();
  form.chart().clearAll();
  fpu::clear();
  const std::string path = form.openDialogFileName();
  switch (form.openDialogFilterIndex()) {
    case kSpv:
      openInputSpectrum(path, store, form);
      break;
    case kAks:
      openAccelerogram(path, false, store, form);
      break;
    case kSpo:
      openResponseSpectrum(path, store, form);
      break;
    case kCfg:
      openConfiguration(path, store, form);
      break;
    case kBrl:
      openAccelerogram(path, true, store, form);
      break;
    default:
      break;
  }
}

}  // namespace accelspec
