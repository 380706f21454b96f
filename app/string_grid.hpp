// SPDX-License-Identifier: MIT
#pragma once

#include <QTableWidget>
#include <initializer_list>
#include <vector>

namespace accelspec {

/// A table of texts addressed (column, row), row 0 first. Fixed rows (at the top) and fixed
/// columns (at the left) are lime and cannot be edited or made current. The texts live in a
/// store of their own, so rows cut off by a smaller row count keep their text and show it again
/// when the count grows. A row count at or below the fixed rows turns the fixed rows into
/// ordinary ones for good, as a grid must keep one scrollable row.
class StringGrid : public QTableWidget {
  Q_OBJECT

 public:
  /// Column widths are the cell widths without the one-pixel grid line.
  StringGrid(std::initializer_list<int> columnWidths, int rows, int fixedColumns, int fixedRows,
             QWidget* parent);

  int fixedRows() const { return fixedRows_; }
  int fixedColumns() const { return fixedColumns_; }
  bool isFixed(int column, int row) const { return row < fixedRows_ || column < fixedColumns_; }

  /// Sets the number of rows (at least 1); rows that come back show their stored text.
  void setRows(int rows);
  /// A cell's text; rows beyond the row count answer their stored text, unknown cells "".
  QString cellText(int column, int row) const;
  void setCellText(int column, int row, const QString& text);

  /// The current row: the first scrollable row until the user picks a cell.
  int currentGridRow() const;

  /// True while a cell editor is open.
  bool isEditing() const { return state() == QAbstractItemView::EditingState; }
  /// Takes the text of an open cell editor into the cell; `close` also closes the editor, else
  /// the user types on where they were.
  void commitEditor(bool close = true);

 protected:
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void refreshItem(int column, int row);
  void storeEdit(QTableWidgetItem* item);

  std::vector<std::vector<QString>> texts_;  // [row][column], never shrinks
  int fixedColumns_;
  int fixedRows_;
  bool updating_ = false;
};

}  // namespace accelspec
