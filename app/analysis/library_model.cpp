// SPDX-License-Identifier: MIT
#include "app/analysis/library_model.hpp"

#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <cmath>

#include "app/qt_text.hpp"
#include "records/record.hpp"

namespace accelspec {

namespace {

QString u8(const char* s) { return QString::fromUtf8(s); }

// A number as this window shows them: in the user's form, without group separators.
QString shown(double v, char form, int digits) {
  if (!std::isfinite(v)) return u8("—");
  QLocale locale = QLocale::system();
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  return locale.toString(v, form, digits);
}

QString shown(const std::optional<double>& v, char form, int digits) {
  return v ? shown(*v, form, digits) : QString();
}

// The first component's value of a field, or the second's when the first has none: the two
// components of a pair come from one recording and share their header's metadata.
template <typename Field>
auto firstOf(const library::Motion& m, Field field) {
  using Value = std::remove_cvref_t<decltype(m.components.front().*field)>;
  for (const auto& c : m.components)
    if constexpr (std::is_same_v<Value, std::string>) {
      if (!(c.*field).empty()) return c.*field;
    } else {
      if (c.*field) return c.*field;
    }
  return Value{};
}

QString componentsText(const library::Motion& m) {
  QStringList names;
  for (const auto& c : m.components)
    names << (c.component.empty() ? QString::number(c.channel) : qs(c.component));
  return m.pair() ? u8("пара: ") + names.join(QStringLiteral(", ")) : names.join(QString());
}

QString filesText(const library::Motion& m) {
  QStringList names;
  for (const auto& c : m.components) names << QFileInfo(qs(c.path)).fileName();
  names.removeDuplicates();
  return names.join(QStringLiteral(", "));
}

// The text's sort key: lower case, each run of digits written with 20 places, so that RSN2
// comes before RSN10 whatever the user's locale (the C locale's collation has no numeric mode).
QString naturalKey(const QString& text) {
  const QString lower = text.toLower();
  QString key;
  key.reserve(lower.size() + 16);
  for (qsizetype i = 0; i < lower.size();) {
    if (!lower[i].isDigit()) {
      key += lower[i++];
      continue;
    }
    qsizetype end = i;
    while (end < lower.size() && lower[end].isDigit()) end++;
    qsizetype first = i;
    while (first + 1 < end && lower[first] == QLatin1Char('0')) first++;  // leading zeros
    const qsizetype digits = end - first;
    if (digits < 20) key += QString(20 - digits, QLatin1Char('0'));
    key += lower.mid(first, digits);
    i = end;
  }
  return key;
}

}  // namespace

double motionPga(const library::Motion& motion) {
  double pga = 0;
  for (const auto& c : motion.components) pga = std::max(pga, c.measures.pga);
  return pga;
}

LibraryModel::LibraryModel(QObject* parent) : QAbstractTableModel(parent) {}

std::shared_ptr<LibraryModel::Rows> LibraryModel::prepare(std::vector<library::Motion> motions) {
  auto rows = std::make_shared<Rows>();
  rows->motions = std::move(motions);
  rows->keys.resize(rows->motions.size());
  // Names such as RSN8883 and RSN175 sort by their numbers; a text's key is made once here, so
  // that a sort compares plain strings.
  for (std::size_t i = 0; i < rows->motions.size(); ++i) {
    const library::Motion& m = rows->motions[i];
    Keys& k = rows->keys[i];
    const QString texts[] = {qs(m.name),
                             qs(m.event),
                             qs(firstOf(m, &library::Component::date)),
                             qs(firstOf(m, &library::Component::station)),
                             m.components.empty() ? QString() : qs(m.components.front().format),
                             filesText(m),
                             componentsText(m)};
    const Column textColumns[] = {Name, Event, Date, Station, Format, Files, Components};
    for (std::size_t t = 0; t < std::size(texts); ++t)
      if (!texts[t].isEmpty()) k.text[textColumns[t]] = naturalKey(texts[t]);
    k.number[Magnitude] = firstOf(m, &library::Component::magnitude);
    k.number[Distance] = firstOf(m, &library::Component::distance);
    k.number[Vs30] = firstOf(m, &library::Component::vs30);
    if (!m.components.empty()) {
      k.number[Pga] = motionPga(m);
      k.number[Step] = m.components.front().dt;
      k.number[Samples] = static_cast<double>(m.components.front().samples);
    }
    QStringList hay = {texts[0], texts[1], texts[2], texts[3], texts[4]};
    for (const auto& c : m.components) hay << qs(c.path) << qs(c.component);
    k.haystack = hay.join(QChar(0x1f)).toLower();
  }
  return rows;
}

void LibraryModel::setRows(std::shared_ptr<Rows> rows) {
  beginResetModel();
  motions_ = std::move(rows->motions);
  keys_ = std::move(rows->keys);
  endResetModel();
}

void LibraryModel::setMotions(std::vector<library::Motion> motions) {
  setRows(prepare(std::move(motions)));
}

std::optional<int> LibraryModel::rowOf(std::int64_t id) const {
  for (std::size_t i = 0; i < motions_.size(); ++i)
    if (motions_[i].id == id) return static_cast<int>(i);
  return std::nullopt;
}

int LibraryModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(motions_.size());
}

int LibraryModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant LibraryModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const library::Motion& m = motions_[static_cast<std::size_t>(index.row())];
  const int column = index.column();
  if (role == Qt::TextAlignmentRole)
    return (column >= Magnitude && column <= Pga) || column == Step || column == Samples
               ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
               : QVariant();
  if (role == Qt::ToolTipRole && (column == Files || column == Name)) {
    QStringList paths;
    for (const auto& c : m.components) paths << qs(c.path);
    return paths.join(QLatin1Char('\n'));
  }
  if (role != Qt::DisplayRole) return {};
  const Keys& k = keys_[static_cast<std::size_t>(index.row())];
  switch (column) {
    case Name:
      return qs(m.name);
    case Event:
      return qs(m.event);
    case Date:
      return qs(firstOf(m, &library::Component::date));
    case Station:
      return qs(firstOf(m, &library::Component::station));
    case Magnitude:
      return shown(k.number[Magnitude], 'f', 1);
    case Distance:
      return shown(k.number[Distance], 'g', 4);
    case Vs30:
      return shown(k.number[Vs30], 'f', 0);
    case Pga:
      return k.number[Pga] ? shown(*k.number[Pga] / records::kStandardGravity, 'g', 4) : QString();
    case Components:
      return componentsText(m);
    case Format:
      return m.components.empty() ? QString() : qs(m.components.front().format);
    case Step:
      return shown(k.number[Step], 'g', 6);
    case Samples:
      return m.components.empty() ? QString() : QString::number(m.components.front().samples);
    case Files:
      return filesText(m);
    default:
      return {};
  }
}

QVariant LibraryModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const titles[ColumnCount] = {
      "Движение", "Событие",    "Дата",   "Станция", "M",        "R, км", "Vs30, м/с",
      "PGA, g",   "Компоненты", "Формат", "Шаг, с",  "Отсчётов", "Файлы"};
  return section >= 0 && section < ColumnCount ? u8(titles[section]) : QVariant();
}

bool LibraryModel::less(int a, int b, int column, bool descending) const {
  const Keys& ka = keys_[static_cast<std::size_t>(a)];
  const Keys& kb = keys_[static_cast<std::size_t>(b)];
  if (column < 0 || column >= ColumnCount) return a < b;
  if (column == Name || column == Event || column == Date || column == Station ||
      column == Format || column == Files || column == Components) {
    const QString& x = ka.text[column];
    const QString& y = kb.text[column];
    if (!x.isEmpty() && !y.isEmpty()) {
      const int c = x.compare(y);
      return c != 0 ? c < 0 : a < b;
    }
    // The unknown after the known, either way (a descending sort asks less(b, a)).
    if (!x.isEmpty() || !y.isEmpty()) return descending ? x.isEmpty() : !x.isEmpty();
    return a < b;
  }
  const auto& x = ka.number[column];
  const auto& y = kb.number[column];
  if (x && y) return *x != *y ? *x < *y : a < b;
  if (x || y) return descending ? !x : x.has_value();
  return a < b;
}

bool LibraryModel::matches(int row, const QString& needle) const {
  return keys_[static_cast<std::size_t>(row)].haystack.contains(needle);
}

LibraryFilter::LibraryFilter(LibraryModel* model, QObject* parent)
    : QSortFilterProxyModel(parent), model_(model) {
  setSourceModel(model);
  setDynamicSortFilter(false);
}

void LibraryFilter::setText(const QString& text) {
  const QString t = text.trimmed().toLower();
  if (t == text_) return;
  text_ = t;
  invalidateFilter();
}

const library::Motion& LibraryFilter::motion(int row) const {
  return model_->motion(mapToSource(index(row, 0)).row());
}

bool LibraryFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  return model_->less(left.row(), right.row(), left.column(), sortOrder() == Qt::DescendingOrder);
}

bool LibraryFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  return text_.isEmpty() || model_->matches(sourceRow, text_);
}

}  // namespace accelspec
