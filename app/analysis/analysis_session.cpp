#include "app/analysis/analysis_session.hpp"

#include <QDir>
#include <algorithm>

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

QString AnalysisSession::lastFolder() {
  return settings_.value(QStringLiteral("analysis/lastFolder"), QDir::currentPath()).toString();
}

void AnalysisSession::setLastFolder(const QString& folder) {
  settings_.setValue(QStringLiteral("analysis/lastFolder"), folder);
}

}  // namespace accelspec
