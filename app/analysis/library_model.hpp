// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "library/library.hpp"

namespace accelspec {

/// The motions of the record library as a table: one row a motion (one component, or a pair of
/// horizontal components), its event, station, metadata, measures and files. Sorting and
/// filtering go through LibraryFilter, which compares the values each row keeps ready (numbers as
/// numbers, texts by keys in which numbers sort as numbers) rather than the display texts.
class LibraryModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column {
    Name,
    Event,
    Date,
    Station,
    Magnitude,
    Distance,
    Vs30,
    Pga,
    Components,
    Format,
    Step,
    Samples,
    Files,
    ColumnCount
  };

  explicit LibraryModel(QObject* parent = nullptr);

  /// The rows of `motions` with what they are sorted and filtered by, worked out: made on any
  /// thread (the page makes them beside its read of the library), set on the model's.
  struct Rows;
  static std::shared_ptr<Rows> prepare(std::vector<library::Motion> motions);
  /// Replaces every row; `rows` is taken.
  void setRows(std::shared_ptr<Rows> rows);
  /// Replaces every row (prepare and setRows on this thread).
  void setMotions(std::vector<library::Motion> motions);
  const std::vector<library::Motion>& motions() const { return motions_; }
  const library::Motion& motion(int row) const {
    return motions_.at(static_cast<std::size_t>(row));
  }
  /// The row of the motion with `id`, if it is shown.
  std::optional<int> rowOf(std::int64_t id) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  /// Row `a` before row `b` in `column` ascending. An unknown value (no magnitude in the
  /// header, …) comes after every known one in either order (`descending`: the sort is
  /// descending, and asks less(b, a)); ties keep the library's order.
  bool less(int a, int b, int column, bool descending = false) const;
  /// True when the text `needle` (already lower case) occurs in the motion's name, event,
  /// station, date, format or any of its files.
  bool matches(int row, const QString& needle) const;

 private:
  struct Keys;

  std::vector<library::Motion> motions_;
  std::vector<Keys> keys_;
};

// What a row is sorted and filtered by, worked out once when the rows are made.
struct LibraryModel::Keys {
  std::optional<double> number[ColumnCount];
  QString text[ColumnCount];  // natural sort keys; empty: unknown
  QString haystack;           // lower case, for the filter
};

struct LibraryModel::Rows {
  std::vector<library::Motion> motions;
  std::vector<Keys> keys;
};

/// The sorting and filtering in front of a LibraryModel: a text typed into the filter field shows
/// the motions that contain it (case-blind) in any of their texts.
class LibraryFilter : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit LibraryFilter(LibraryModel* model, QObject* parent = nullptr);

  void setText(const QString& text);
  const QString& text() const { return text_; }
  /// The motion shown at proxy row `row`.
  const library::Motion& motion(int row) const;

 protected:
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  LibraryModel* model_;
  QString text_;  // lower case, trimmed
};

/// The PGA of a motion, m/s²: the larger of its components'.
double motionPga(const library::Motion& motion);

}  // namespace accelspec
