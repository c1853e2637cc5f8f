// Fitting a window to a small screen.
#include <QtTest>

#include "widgets/window_frame.h"

using namespace telvar;

class TestWindowFrame : public QObject {
  Q_OBJECT
 private slots:
  void fit_data();
  void fit();
};

void TestWindowFrame::fit_data() {
  QTest::addColumn<int>("screenHeight");
  QTest::addColumn<int>("height");
  QTest::addColumn<int>("fittedWidth");
  QTest::addColumn<int>("fittedHeight");
  QTest::addColumn<bool>("scrolls");
  QTest::newRow("700 px screen, tall window") << 700 << 760 << 434 + 17 << 675 << true;
  QTest::newRow("600 px screen, short window") << 600 << 611 << 434 + 17 << 575 << true;
  QTest::newRow("768 px screen keeps the window") << 768 << 611 << 434 << 611 << false;
  QTest::newRow("exactly room") << 636 << 611 << 434 << 611 << false;
  QTest::newRow("one pixel short") << 635 << 611 << 434 + 17 << 610 << true;
}

void TestWindowFrame::fit() {
  QFETCH(int, screenHeight);
  QFETCH(int, height);
  QFETCH(int, fittedWidth);
  QFETCH(int, fittedHeight);
  QFETCH(bool, scrolls);
  const FrameFit fit = FitFrame(screenHeight, 434, height, 17);
  QCOMPARE(fit.width, fittedWidth);
  QCOMPARE(fit.height, fittedHeight);
  QCOMPARE(fit.scrolls, scrolls);
}

QTEST_MAIN(TestWindowFrame)
#include "tst_window_frame.moc"
