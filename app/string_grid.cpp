// SPDX-License-Identifier: MIT
#include "app/string_grid.hpp"

#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <algorithm>

#include "data/form.hpp"

namespace accelspec {

namespace {

const QColor kFixedColor(0x00, 0xFF, 0x00);  // lime

// Writing an open editor's text into its cell would set the same text back into the editor and
// move the cursor to its end: an editor that already shows the cell's text is left alone.
class CellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line && line->text() == index.data(Qt::EditRole).toString()) return;
    QStyledItemDelegate::setEditorData(editor, index);
  }
};

}  // namespace

StringGrid::StringGrid(std::initializer_list<int> columnWidths, int rows, int fixedColumns,
                       int fixedRows, QWidget* parent)
    : QTableWidget(parent), fixedColumns_(fixedColumns), fixedRows_(fixedRows) {
  horizontalHeader()->hide();
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(kGridRowPitch);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setMinimumSectionSize(1);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(1);
  setWordWrap(false);
  setTextElideMode(Qt::ElideNone);
  // Tab leaves the grid, as it leaves every other control of the window.
  setTabKeyNavigation(false);
  setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                  QAbstractItemView::EditKeyPressed);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

  setColumnCount(static_cast<int>(columnWidths.size()));
  int c = 0;
  for (int w : columnWidths) setColumnWidth(c++, w + 1);
  setItemDelegate(new CellDelegate(this));
  connect(this, &QTableWidget::itemChanged, this, &StringGrid::storeEdit);
  setRows(rows);
  // The first scrollable cell is current from the start, without being drawn selected.
  selectionModel()->setCurrentIndex(model()->index(std::min(fixedRows_, rowCount() - 1),
                                                   std::min(fixedColumns_, columnCount() - 1)),
                                    QItemSelectionModel::NoUpdate);
}

void StringGrid::setRows(int rows) {
  rows = std::max(rows, 1);
  const bool unfix = rows <= fixedRows_;
  if (unfix) fixedRows_ = rows - 1;
  const int old = rowCount();
  updating_ = true;
  setRowCount(rows);
  updating_ = false;
  if (static_cast<int>(texts_.size()) < rows)
    texts_.resize(static_cast<std::size_t>(rows),
                  std::vector<QString>(static_cast<std::size_t>(columnCount())));
  const int first = unfix ? 0 : old;
  for (int r = first; r < rows; ++r) {
    for (int c = 0; c < columnCount(); ++c) refreshItem(c, r);
  }
}

QString StringGrid::cellText(int column, int row) const {
  if (row < 0 || column < 0 || column >= columnCount()) return {};
  if (row >= static_cast<int>(texts_.size())) return {};
  return texts_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

void StringGrid::setCellText(int column, int row, const QString& text) {
  if (row < 0 || column < 0 || column >= columnCount()) return;
  if (row >= static_cast<int>(texts_.size()))
    texts_.resize(static_cast<std::size_t>(row) + 1,
                  std::vector<QString>(static_cast<std::size_t>(columnCount())));
  texts_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
  if (row < rowCount()) refreshItem(column, row);
}

int StringGrid::currentGridRow() const {
  int r = currentRow();
  if (r < fixedRows_) r = fixedRows_;
  return std::clamp(r, 0, rowCount() - 1);
}

void StringGrid::commitEditor(bool close) {
  if (state() != QAbstractItemView::EditingState) return;
  if (QWidget* editor = indexWidget(currentIndex())) {
    commitData(editor);
    if (close) closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
}

void StringGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  if (hint != QAbstractItemDelegate::EditNextItem &&
      hint != QAbstractItemDelegate::EditPreviousItem)
    return QTableWidget::closeEditor(editor, hint);
  // Tab in a cell editor leaves the grid, as Tab does in the grid itself.
  QTableWidget::closeEditor(editor, QAbstractItemDelegate::NoHint);
  focusNextPrevChild(hint == QAbstractItemDelegate::EditNextItem);
}

QModelIndex StringGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  const QModelIndex next = QTableWidget::moveCursor(action, modifiers);
  if (next.isValid() && isFixed(next.column(), next.row())) return currentIndex();
  return next;
}

void StringGrid::mousePressEvent(QMouseEvent* event) {
  const QModelIndex at = indexAt(event->position().toPoint());
  if (at.isValid() && isFixed(at.column(), at.row())) {
    // A fixed cell is never current; the click only brings the focus to the grid.
    setFocus(Qt::MouseFocusReason);
    return;
  }
  QTableWidget::mousePressEvent(event);
}

void StringGrid::refreshItem(int column, int row) {
  updating_ = true;
  QTableWidgetItem* cell = item(row, column);
  if (!cell) {
    cell = new QTableWidgetItem;
    setItem(row, column, cell);
  }
  cell->setText(texts_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)]);
  if (isFixed(column, row)) {
    cell->setFlags(Qt::ItemIsEnabled);
    cell->setBackground(kFixedColor);
  } else {
    cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    cell->setBackground(QBrush());
  }
  updating_ = false;
}

void StringGrid::storeEdit(QTableWidgetItem* cell) {
  if (updating_ || !cell) return;
  const int row = cell->row();
  const int column = cell->column();
  if (row < 0 || row >= static_cast<int>(texts_.size()) || column < 0) return;
  texts_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = cell->text();
}

}  // namespace accelspec
