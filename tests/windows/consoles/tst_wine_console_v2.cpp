// The window of telvar_v210 cross-built for Windows and run under wine, on
// the prefix's COM ports: COM5 is telvar_sim with a ТЕЛВАР-2 at 247 and at
// 5, COM9 is listed in the registry but leads nowhere (run_console_test.sh).
// One window for all the cases, in their order, as a technician's session:
// the port list, a status read, a configuration write, a bus search, the
// drawn fields, a port that is missing.
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QtTest>

#include "console_v2/main_window.h"
#include "tests/support/user_input.h"
#include "tests/windows/consoles/wine_window.h"

using namespace telvar;
using namespace telvar::wine;

class TestWineConsoleV2 : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { window_.Open(); }
  void cleanupTestCase() { window_.Close(); }
  void portListFromRegistry() { window_.PortListFromRegistry(); }
  void statusRead();
  void configurationWrite();
  void searchFindsDevice() { window_.SearchFindsDevice(QStringLiteral("ТЕЛВАР-2 - V2")); }
  void spinEditsAreDrawn() { window_.SpinEditsAreDrawn("SEdit4"); }
  void blankFieldIsTold() { window_.BlankFieldIsTold("SEdit6"); }
  void missingPort() { window_.MissingPort(); }

 private:
  WineWindow<v2::TForm1> window_;
};

void TestWineConsoleV2::statusRead() {
  const QStringList values{"    ТЕЛВАР-2", "    С ФИКСАЦИЕЙ ТРЕВОГИ", "    НОРМА", "    ТРЕВОГА :  L = 0293м",
                           "    НОРМА",    "    НЕИСПРАВНОСТЬ"};
  window_.StatusRead(Frame({0xF7, 0x03, 0x00, 0x00, 0x00, 0x1E}), values);
  if (QTest::currentTestFailed()) return;
  QCOMPARE(window_.Find<QDoubleSpinBox>("SEdit1")->text(), QStringLiteral("0.620"));
  QCOMPARE(window_.Find<QSpinBox>("SEdit4")->text(), QStringLiteral("1000"));
}

// The cable length of ШС1, typed and written with its button.
void TestWineConsoleV2::configurationWrite() {
  const qsizetype before = SimLog().size();
  auto* edit = window_.Find<QSpinBox>("SEdit4");
  telvar::testing::TypeInto(edit, QStringLiteral("1234"));
  QTest::keyClick(edit, Qt::Key_Return);
  QCOMPARE(edit->text(), QStringLiteral("1234"));
  QVERIFY(window_.ClickAndWait("TeButton9"));
  const QList<SimLine> lines = SimLog().mid(before);
  QCOMPARE(lines.size(), 1);
  QCOMPARE(lines[0].request, Frame({0xF7, 0x06, 0x00, 0x19, 0x04, 0xD2}));
  QCOMPARE(lines[0].reply, lines[0].request);
  QCOMPARE(window_.Memo().last(), kLineOk);
}

QTEST_MAIN(TestWineConsoleV2)
#include "tst_wine_console_v2.moc"
