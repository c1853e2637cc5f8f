#include "widgets/status_grid.h"

#include <cstdlib>

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>

namespace telvar {

namespace {
constexpr int kTextRightMargin = 2;
constexpr int kColumnSlack = 6;
constexpr int kLineGrip = 3;  // how near a grid line the mouse takes it
constexpr int kSmallestSection = 4;
}  // namespace

void StatusGridDrawCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const bool selected = option.state & QStyle::State_Selected;
  painter->save();
  painter->fillRect(option.rect, selected ? kSelectedRowColor : QColor(Qt::white));
  QRect textRect = option.rect.adjusted(0, 0, -kTextRightMargin, 0);
  painter->setClipRect(textRect);
  painter->setBackgroundMode(Qt::TransparentMode);
  painter->setFont(option.font);
  painter->setPen(option.palette.color(QPalette::WindowText));
  painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    index.data(Qt::DisplayRole).toString());
  painter->restore();
}

StatusGrid::StatusGrid(int rows, QWidget* parent) : QTableWidget(rows, 2, parent) {
  setObjectName(QStringLiteral("StatusGrid"));
  horizontalHeader()->hide();
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(kStatusGridRowHeight);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  setWordWrap(false);
  QPalette white = palette();
  white.setColor(QPalette::Base, Qt::white);
  setPalette(white);
  setItemDelegate(new StatusGridDrawCell(this));
  setMouseTracking(true);
  // Tab leaves the grid; the arrows move the selected row.
  setTabKeyNavigation(false);
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < 2; ++column) {
      auto* item = new QTableWidgetItem;
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      setItem(row, column, item);
    }
  }
  TakeTabWhenSomethingToSelect();
}

bool StatusGrid::HoldsText() const {
  for (int row = 0; row < rowCount(); ++row) {
    for (int column = 0; column < columnCount(); ++column) {
      if (!Cell(column, row).isEmpty()) return true;
    }
  }
  return false;
}

void StatusGrid::TakeTabWhenSomethingToSelect() { setFocusPolicy(HoldsText() ? Qt::StrongFocus : Qt::ClickFocus); }

void StatusGrid::SetLabels(const QStringList& labels) {
  for (int row = 0; row < labels.size() && row < rowCount(); ++row) SetCell(0, row, labels[row]);
  SetColumnWidths();
}

void StatusGrid::SetColumnWidths() {
  setColumnWidth(0, kLabelColumnWidth);
  setColumnWidth(1, width() - kLabelColumnWidth - kColumnSlack);
}

void StatusGrid::SetCell(int column, int row, const QString& text) {
  QTableWidgetItem* cell = item(row, column);
  if (!cell) return;
  cell->setText(text);
  TakeTabWhenSomethingToSelect();
}

QString StatusGrid::Cell(int column, int row) const {
  const QTableWidgetItem* cell = item(row, column);
  return cell ? cell->text() : QString();
}

StatusGrid::GridLine StatusGrid::LineAt(const QPoint& position) const {
  for (int column = 0; column < columnCount(); ++column) {
    const int edge = columnViewportPosition(column) + columnWidth(column);
    if (std::abs(position.x() - edge) <= kLineGrip) return {Qt::Horizontal, column};
  }
  for (int row = 0; row < rowCount(); ++row) {
    const int edge = rowViewportPosition(row) + rowHeight(row);
    if (std::abs(position.y() - edge) <= kLineGrip) return {Qt::Vertical, row};
  }
  return {};
}

int StatusGrid::SectionSize(const GridLine& line) const {
  return line.orientation == Qt::Horizontal ? columnWidth(line.section) : rowHeight(line.section);
}

void StatusGrid::mousePressEvent(QMouseEvent* event) {
  const GridLine line = LineAt(event->position().toPoint());
  if (event->button() != Qt::LeftButton || line.section < 0) {
    QTableWidget::mousePressEvent(event);
    return;
  }
  dragged_ = line;
  dragOrigin_ = line.orientation == Qt::Horizontal ? event->position().toPoint().x() : event->position().toPoint().y();
  dragStartSize_ = SectionSize(line);
  event->accept();
}

void StatusGrid::mouseMoveEvent(QMouseEvent* event) {
  const QPoint position = event->position().toPoint();
  if (dragged_.section < 0) {
    const GridLine line = LineAt(position);
    if (line.section < 0) {
      viewport()->unsetCursor();
    } else {
      viewport()->setCursor(line.orientation == Qt::Horizontal ? Qt::SplitHCursor : Qt::SplitVCursor);
    }
    QTableWidget::mouseMoveEvent(event);
    return;
  }
  const int along = dragged_.orientation == Qt::Horizontal ? position.x() : position.y();
  const int size = std::max(kSmallestSection, dragStartSize_ + along - dragOrigin_);
  if (dragged_.orientation == Qt::Horizontal) {
    setColumnWidth(dragged_.section, size);
  } else {
    setRowHeight(dragged_.section, size);
  }
  event->accept();
}

void StatusGrid::mouseReleaseEvent(QMouseEvent* event) {
  if (dragged_.section < 0) {
    QTableWidget::mouseReleaseEvent(event);
    return;
  }
  dragged_ = {};
  event->accept();
}

}  // namespace telvar
