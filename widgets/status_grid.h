// The status grid: two columns, a label per row and the decoded value beside
// it, painted by its own cell painter (StatusGridDrawCell). Used by both
// windows (7 rows in telvar_v210, 6 in telvar_105). Tab passes through the
// grid as through any other control, and passes it over while no cell holds
// a text, which leaves nothing to select.
#pragma once

#include <QStringList>
#include <QStyledItemDelegate>
#include <QTableWidget>

namespace telvar {

inline const QColor kSelectedRowColor{182, 189, 210};
constexpr int kStatusGridRowHeight = 18;
constexpr int kLabelColumnWidth = 150;

// Paints one cell: the selection's colour or white, then the text on one
// line, vertically centred, left-aligned, clipped 2 pixels before the right
// edge, without elision.
class StatusGridDrawCell : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class StatusGrid : public QTableWidget {
  Q_OBJECT
 public:
  explicit StatusGrid(int rows, QWidget* parent = nullptr);

  // Start-up: the labels of column 0 from row 0 on, then the column widths.
  void SetLabels(const QStringList& labels);
  // Column 0 150 px, column 1 the rest of the grid's width less 6 px.
  void SetColumnWidths();

  // An empty text clears the cell.
  void SetCell(int column, int row, const QString& text);
  QString Cell(int column, int row) const;

 protected:
  // The user resizes a column or a row by dragging its right or bottom
  // grid line; a click elsewhere selects the row.
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  struct GridLine {
    Qt::Orientation orientation = Qt::Horizontal;  // Horizontal: a column's edge
    int section = -1;                              // -1: no grid line
  };
  bool HoldsText() const;
  void TakeTabWhenSomethingToSelect();
  GridLine LineAt(const QPoint& position) const;
  int SectionSize(const GridLine& line) const;

  GridLine dragged_;
  int dragOrigin_ = 0;
  int dragStartSize_ = 0;
};

}  // namespace telvar
