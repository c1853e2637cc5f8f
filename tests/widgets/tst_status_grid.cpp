// The status grid: geometry, labels and cells, and how its cells are painted.
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>

#include "widgets/status_grid.h"

using telvar::StatusGrid;

namespace {

const QStringList kLabelsV2 = {"  ТИП",          "  РЕЖИМ РАБОТЫ", "  ШС1 : СТАТУС", "  ШС2 : СТАТУС",
                               "  ШС3 : СТАТУС", "  ИП1 : СТАТУС", "  ИП2 : СТАТУС"};

bool IsDark(QRgb pixel) { return qGray(pixel) < 128; }

// Dark (text) pixels of image inside the rectangle.
int DarkPixels(const QImage& image, const QRect& area) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) count += IsDark(image.pixel(x, y));
  }
  return count;
}

}  // namespace

class TestStatusGrid : public QObject {
  Q_OBJECT
 private slots:
  void geometry_data();
  void geometry();
  void labelsAndCells();
  void selectedRowIsGreyishBlueOthersWhite();
  void longTextIsClippedTwoPixelsBeforeTheEdge();
  void gridLinesDragToResize();
  void tabPassesThroughOrOverTheGrid_data();
  void tabPassesThroughOrOverTheGrid();
};

void TestStatusGrid::geometry_data() {
  QTest::addColumn<int>("rows");
  QTest::addColumn<int>("height");
  QTest::newRow("telvar_v210") << 7 << 137;
  QTest::newRow("telvar_105") << 6 << 118;
}

void TestStatusGrid::geometry() {
  QFETCH(int, rows);
  QFETCH(int, height);
  StatusGrid grid(rows);
  grid.resize(404, height);
  grid.SetColumnWidths();
  QCOMPARE(grid.objectName(), QStringLiteral("StatusGrid"));
  QCOMPARE(grid.rowCount(), rows);
  QCOMPARE(grid.columnCount(), 2);
  QCOMPARE(grid.columnWidth(0), 150);
  QCOMPARE(grid.columnWidth(1), 248);
  for (int row = 0; row < rows; ++row) QCOMPARE(grid.rowHeight(row), 18);
  QVERIFY(!grid.horizontalHeader()->isVisibleTo(&grid));
  QVERIFY(!grid.verticalHeader()->isVisibleTo(&grid));
  QCOMPARE(grid.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  QCOMPARE(grid.selectionBehavior(), QAbstractItemView::SelectRows);
  QVERIFY(grid.showGrid());
}

void TestStatusGrid::labelsAndCells() {
  StatusGrid grid(7);
  grid.resize(404, 137);
  grid.SetLabels(kLabelsV2);
  for (int row = 0; row < 7; ++row) {
    QCOMPARE(grid.Cell(0, row), kLabelsV2[row]);
    QCOMPARE(grid.Cell(1, row), QString());
  }
  QCOMPARE(grid.columnWidth(1), 248);  // the labels set the widths as well

  grid.SetCell(1, 2, QStringLiteral("    НОРМА"));
  QCOMPARE(grid.Cell(1, 2), QStringLiteral("    НОРМА"));
  grid.SetCell(1, 2, QString());
  QCOMPARE(grid.Cell(1, 2), QString());
  // The user cannot type into the grid.
  QCOMPARE(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
}

void TestStatusGrid::selectedRowIsGreyishBlueOthersWhite() {
  StatusGrid grid(7);
  grid.resize(404, 137);
  grid.SetLabels(kLabelsV2);
  grid.selectRow(2);
  const QImage image = grid.viewport()->grab().toImage();
  const QColor blue(182, 189, 210);
  const int rowMiddle = 9;
  // Points away from the text and the grid lines: the right part of each cell.
  for (int column : {0, 1}) {
    const int x = grid.columnViewportPosition(column) + grid.columnWidth(column) - 10;
    for (int row = 0; row < 7; ++row) {
      const QColor expected = row == 2 ? blue : QColor(Qt::white);
      QCOMPARE(QColor(image.pixel(x, grid.rowViewportPosition(row) + rowMiddle)), expected);
    }
  }
  // The selected label keeps its text on the coloured background.
  QVERIFY(DarkPixels(image, QRect(2, grid.rowViewportPosition(2) + 2, 140, 14)) > 0);
  // An empty selected cell is a plain filled rectangle.
  const QRect emptyCell(grid.columnViewportPosition(1) + 1, grid.rowViewportPosition(2) + 1, 240, 15);
  QCOMPARE(DarkPixels(image, emptyCell), 0);
}

void TestStatusGrid::longTextIsClippedTwoPixelsBeforeTheEdge() {
  StatusGrid grid(7);
  grid.resize(404, 137);
  grid.SetColumnWidths();
  grid.SetCell(0, 0, QString(60, QLatin1Char('M')));
  grid.SetCell(0, 1, QString(60, QLatin1Char('M')));
  grid.selectRow(1);
  const QImage image = grid.viewport()->grab().toImage();
  for (int row : {0, 1}) {
    const int top = grid.rowViewportPosition(row) + 1;
    const int height = 16;
    // Text reaches the clip edge (no elision leaves a gap before it) ...
    QVERIFY2(DarkPixels(image, QRect(138, top, 10, height)) > 0, qPrintable(QString::number(row)));
    // ... but never the last 2 pixels of the column nor the next cell.
    QCOMPARE(DarkPixels(image, QRect(148, top, 2, height)), 0);
    QCOMPARE(DarkPixels(image, QRect(151, top, 40, height)), 0);
  }
}

// A column or a row is resized by dragging its right or bottom grid line;
// a click inside a cell still selects its row.
void TestStatusGrid::gridLinesDragToResize() {
  StatusGrid grid(7);
  grid.resize(404, 137);
  grid.SetColumnWidths();
  grid.show();
  QWidget* area = grid.viewport();
  QTest::mousePress(area, Qt::LeftButton, {}, QPoint(150, 30));
  QTest::mouseMove(area, QPoint(190, 30));
  QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(190, 30));
  QCOMPARE(grid.columnWidth(0), 190);
  QVERIFY(grid.selectedItems().isEmpty());

  QTest::mousePress(area, Qt::LeftButton, {}, QPoint(60, 18));
  QTest::mouseMove(area, QPoint(60, 30));
  QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(60, 30));
  QCOMPARE(grid.rowHeight(0), 30);
  QCOMPARE(grid.rowHeight(1), 18);

  QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(250, 40));
  QCOMPARE(grid.currentRow(), 1);
  QCOMPARE(grid.selectedItems().size(), 2);
}

void TestStatusGrid::tabPassesThroughOrOverTheGrid_data() {
  QTest::addColumn<bool>("holdsText");
  QTest::addColumn<bool>("forward");
  QTest::addColumn<QStringList>("reached");
  const QStringList through{"StatusGrid", "after", "before"};
  const QStringList over{"after", "before", "after"};
  QTest::newRow("a label, Tab") << true << true << through;
  QTest::newRow("a label, Shift+Tab") << true << false << QStringList{"after", "StatusGrid", "before"};
  QTest::newRow("nothing to select, Tab") << false << true << over;
  QTest::newRow("nothing to select, Shift+Tab") << false << false << over;
}

// Between two fields: Tab goes into the grid and out again at the next key,
// or past it when no cell holds a text.
void TestStatusGrid::tabPassesThroughOrOverTheGrid() {
  QFETCH(bool, holdsText);
  QFETCH(bool, forward);
  QFETCH(QStringList, reached);
  QWidget window;
  auto* column = new QVBoxLayout(&window);
  auto* before = new QLineEdit(&window);
  before->setObjectName(QStringLiteral("before"));
  StatusGrid grid(3, &window);
  auto* after = new QLineEdit(&window);
  after->setObjectName(QStringLiteral("after"));
  for (QWidget* w : {static_cast<QWidget*>(before), static_cast<QWidget*>(&grid), static_cast<QWidget*>(after)})
    column->addWidget(w);
  grid.SetCell(1, 2, QStringLiteral("    НОРМА"));
  if (!holdsText) grid.SetCell(1, 2, QString());
  window.show();
  window.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  before->setFocus(Qt::OtherFocusReason);
  QStringList walked;
  for (int i = 0; i < 3; ++i) {
    if (forward) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    } else {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    }
    walked << QApplication::focusWidget()->objectName();
  }
  QCOMPARE(walked, reached);
}

QTEST_MAIN(TestStatusGrid)
#include "tst_status_grid.moc"
