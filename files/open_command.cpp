// SPDX-License-Identifier: MIT
#include "files/open_command.hpp"

#include <string>
#include <string_view>

#include "data/fpu.hpp"
#include "data/messages.hpp"
#include "data/numbers.hpp"
#include "files/config.hpp"
#include "files/file_kind.hpp"
#include "files/formats.hpp"
#include "memory/memory.hpp"

namespace accelspec {

namespace {

// Where a file's text comes from: the file at `path`, or text already in memory.
struct Source {
  std::string path;
  const std::string_view* text = nullptr;

  template <typename Read>
  void read(FileKind kind, Read&& reader) const {
    if (text) {
      TextReader in(*text);
      reader(in);
    } else {
      readFile(path, inputLimit(kind), reader);
    }
  }
};

void titles(Chart& chart, std::string_view title, std::string_view axis) {
  chart.setTitle(std::string(title));
  chart.setBottomAxisTitle(std::string(axis));
}

void openInputSpectrum(const Source& source, Store& s, Form& form) {
  s.Mode = kModeInputSpectrum;
  Chart& chart = form.chart();
  titles(chart, msg::kTitleInputSpectrum, msg::kAxisFrequency);
  source.read(kSpv, [&](TextReader& in) { readSpv(in, s); });
  form.setText(Edit::N, intToText(s.N));
  form.setRowCount(Grid::Spv, s.N + 1);
  const char sep = form.decimalSeparator();
  for (std::int32_t j = 1; j <= s.N; ++j) {
    form.setCell(Grid::Spv, 0, j, realToText(s.SpF[j], sep));
    form.setCell(Grid::Spv, 1, j, realToText(s.SpA[j], sep));
    chart.series(0).addClamped(s.SpF[j], s.SpA[j]);
  }
}

void openAccelerogram(const Source& source, bool imported, Store& s, Form& form) {
  s.Mode = kModeAccelerogram;
  Chart& chart = form.chart();
  titles(chart, msg::kTitleAccelerogram, msg::kAxisTime);
  if (imported) {
    source.read(kBrl, [&](TextReader& in) { readBrl(in, s); });
  } else {
    source.read(kAks, [&](TextReader& in) { readAks(in, s); });
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

void openResponseSpectrum(const Source& source, Store& s, Form& form) {
  s.Mode = kModeResponseSpectrum;
  Chart& chart = form.chart();
  titles(chart, msg::kTitleResponseSpectrum, msg::kAxisFrequency);
  source.read(kSpo, [&](TextReader& in) { readSpo(in, s); });
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

void openConfiguration(const Source& source, Store& s, Form& form) {
  s.Mode = kModeNone;
  if (source.text) {
    TextReader in(*source.text);
    readConfiguration(in, s, form);
  } else {
    readConfiguration(source.path, s, form);
  }
  showMemoryList(s, form);
}

void openSource(Store& store, Form& form, FileKind kind, const Source& source) {
  form.clearMemo();
  form.chart().clearAll();
  fpu::clear();
  switch (kind) {
    case kSpv:
      openInputSpectrum(source, store, form);
      break;
    case kAks:
      openAccelerogram(source, false, store, form);
      break;
    case kSpo:
      openResponseSpectrum(source, store, form);
      break;
    case kCfg:
      openConfiguration(source, store, form);
      break;
    case kBrl:
      openAccelerogram(source, true, store, form);
      break;
    default:
      break;
  }
}

}  // namespace

void openFile(Store& store, Form& form) {
  if (!form.executeOpenDialog()) return;
  const auto kind = static_cast<FileKind>(form.openDialogFilterIndex());
  openSource(store, form, kind, Source{form.openDialogFileName()});
}

void openText(Store& store, Form& form, FileKind kind, std::string_view text) {
  openSource(store, form, kind, Source{{}, &text});
}

}  // namespace accelspec
