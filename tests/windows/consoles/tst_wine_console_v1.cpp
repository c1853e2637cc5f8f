// The window of telvar_105 cross-built for Windows and run under wine, on
// the prefix's COM ports: COM5 is telvar_sim with a ТЕЛВАР-2(EX) at 247 and
// at 5, COM9 is listed in the registry but leads nowhere (run_console_test.sh).
// One window for all the cases, in their order, as a technician's session:
// the port list, a status read, a configuration write, a bus search, the
// drawn fields, a port that is missing.
#include <QDoubleSpinBox>
#include <QtTest>

#include "console_v1/main_window.h"
#include "tests/support/user_input.h"
#include "tests/windows/consoles/wine_window.h"

using namespace telvar;
using namespace telvar::wine;

class TestWineConsoleV1 : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { window_.Open(); }
  void cleanupTestCase() { window_.Close(); }
  void portListFromRegistry() { window_.PortListFromRegistry(); }
  void statusRead();
  void configurationWrite();
  void searchFindsDevice() { window_.SearchFindsDevice(QStringLiteral("ТЕЛВАР-2(EX)")); }
  void spinEditsAreDrawn() { window_.SpinEditsAreDrawn("TeSpinEdit3"); }
  void blankFieldIsTold() { window_.BlankFieldIsTold("TeSpinEdit3"); }
  void missingPort() { window_.MissingPort(); }

 private:
  WineWindow<v1::TForm1> window_;
};

void TestWineConsoleV1::statusRead() {
  const QStringList values{"    ТЕЛВАР-2(EX)", "    С ФИКСАЦИЕЙ ТРЕВОГИ", "    НОРМА", "    НОРМА", "    0.620",
                           "    0.500"};
  window_.StatusRead(Frame({0xF7, 0x03, 0x00, 0x00, 0x00, 0x0C}), values);
  if (QTest::currentTestFailed()) return;
  QCOMPARE(window_.Find<QDoubleSpinBox>("TeSpinEdit3")->text(), QStringLiteral("0.620"));
}

// The linear resistance of ШС1, typed beyond its bound and written with
// ЗАПИСАТЬ: the bound shown is the bound written.
void TestWineConsoleV1::configurationWrite() {
  const qsizetype before = SimLog().size();
  auto* edit = window_.Find<QDoubleSpinBox>("TeSpinEdit3");
  telvar::testing::TypeInto(edit, QStringLiteral("1.5"));
  QTest::keyClick(edit, Qt::Key_Return);
  QCOMPARE(edit->text(), QStringLiteral("1.000"));
  QVERIFY(window_.ClickAndWait("TeButton2"));
  const QList<SimLine> lines = SimLog().mid(before);
  QCOMPARE(lines.size(), 1);
  QCOMPARE(lines[0].request, QStringLiteral("F7 10 00 07 00 02 04 3F 80 00 00 A2 3E"));
  QCOMPARE(lines[0].outcome, QStringLiteral("ok"));
  QCOMPARE(window_.Memo().last(), kLineOk);
}

QTEST_MAIN(TestWineConsoleV1)
#include "tst_wine_console_v1.moc"
