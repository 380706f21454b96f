// SPDX-License-Identifier: MIT
#include "app/analysis/analysis_session.hpp"

#include <QDir>
#include <algorithm>
#include <memory>

#include "app/error_box.hpp"
#include "data/error.hpp"
#include "data/fpu.hpp"
#include "data/store.hpp"
#include "files/formats.hpp"
#include "records/aks_text.hpp"

namespace accelspec {

AnalysisSession::AnalysisSession(QObject* parent)
    : QObject(parent), settings_(QStringLiteral("accelspec"), QStringLiteral("accelspec")) {}

std::size_t AnalysisSession::add(records::Record record) {
  records_.push_back({nextId_++, std::move(record), std::nullopt});
  emit recordsChanged();
  select({records_.size() - 1});
  return records_.size() - 1;
}

void AnalysisSession::remove(std::vector<std::size_t> indices) {
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  std::vector<std::size_t> kept;
  std::vector<LoadedRecord> left;
  for (std::size_t i = 0; i < records_.size(); ++i) {
    if (std::binary_search(indices.begin(), indices.end(), i)) continue;
    if (std::binary_search(selection_.begin(), selection_.end(), i)) kept.push_back(left.size());
    left.push_back(std::move(records_[i]));
  }
  // The list and the selection change together: a page told of either reads both, so neither
  // may hold an index of the other's past.
  records_ = std::move(left);
  const bool selectionMoved = kept != selection_;
  selection_ = std::move(kept);
  emit recordsChanged();
  if (selectionMoved) emit selectionChanged();
}

std::optional<std::size_t> AnalysisSession::indexOf(std::uint64_t id) const {
  for (std::size_t i = 0; i < records_.size(); ++i)
    if (records_[i].id == id) return i;
  return std::nullopt;
}

bool AnalysisSession::setMeasures(std::uint64_t id, const analysis::Measures& m) {
  const std::optional<std::size_t> index = indexOf(id);
  if (!index) return false;
  records_[*index].measures = m;
  emit measuresChanged(*index);
  return true;
}

const LoadedRecord* AnalysisSession::current() const {
  if (selection_.empty() || selection_.front() >= records_.size()) return nullptr;
  return &records_[selection_.front()];
}

void AnalysisSession::select(std::vector<std::size_t> indices) {
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  std::erase_if(indices, [&](std::size_t i) { return i >= records_.size(); });
  if (indices == selection_) return;
  selection_ = std::move(indices);
  emit selectionChanged();
}

bool AnalysisSession::sendToMain(const records::Record& record, QWidget* owner) {
  if (!link_.sendRecord) return false;
  // The main window opens the record as its *.aks text, clearing its chart before the reader
  // can refuse the text; the same reader on a store of its own refuses it first. A record
  // longer than the store is refused at its count line, as its file would be.
  try {
    const std::string text = record.accel.size() > static_cast<std::size_t>(kMaxSamples)
                                 ? std::to_string(record.accel.size()) + " 1\r\n"
                                 : records::aksText(record);
    auto scratch = std::make_unique<Store>();
    TextReader in(text);
    fpu::clear();
    readAks(in, *scratch);
  } catch (...) {
    showErrorBox(owner, userMessage(std::current_exception()));
    return false;
  }
  if (!link_.sendRecord(record)) return false;
  if (link_.raise) link_.raise();
  return true;
}

QString AnalysisSession::lastFolder() {
  return settings_.value(QStringLiteral("analysis/lastFolder"), QDir::currentPath()).toString();
}

void AnalysisSession::setLastFolder(const QString& folder) {
  settings_.setValue(QStringLiteral("analysis/lastFolder"), folder);
}

}  // namespace accelspec
