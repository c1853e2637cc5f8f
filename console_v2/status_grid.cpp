#include "console_v2/status_grid.h"

#include <QHeaderView>
#include <QPainter>

namespace telvar {

namespace {
constexpr int kTextRightMargin = 2;
constexpr int kColumnSlack = 6;
}  // namespace

void StatusGridDrawCell::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
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
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < 2; ++column) {
      auto* item = new QTableWidgetItem;
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      setItem(row, column, item);
    }
  }
}

void StatusGrid::SetLabels(const QStringList& labels) {
  for (int row = 0; row < labels.size() && row < rowCount(); ++row) SetCell(0, row, labels[row]);
  SetColumnWidths();
}

void StatusGrid::SetColumnWidths() {
  setColumnWidth(0, kLabelColumnWidth);
  setColumnWidth(1, width() - kLabelColumnWidth - kColumnSlack);
}

void StatusGrid::SetCell(int column, int row, const QString& text) {
  if (QTableWidgetItem* cell = item(row, column)) cell->setText(text);
}

QString StatusGrid::Cell(int column, int row) const {
  const QTableWidgetItem* cell = item(row, column);
  return cell ? cell->text() : QString();
}

}  // namespace telvar
