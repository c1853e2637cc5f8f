// The window of telvar_105 cross-built for Windows and run under wine, on
// the prefix's COM ports: COM5 is telvar_sim with a ТЕЛВАР-2(EX) at 247 and
// at 5, COM9 is listed in the registry but leads nowhere (run_console_test.sh).
// One window for all the cases, in their order, as a technician's session:
// the port list, a status read, a configuration write, a bus search, the
// drawn fields, a port that is missing.
#include <memory>

#include <QAbstractButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

#include "console_v1/main_window.h"
#include "link/traffic_log.h"
#include "search/bus_search.h"
#include "tests/support/user_input.h"
#include "tests/windows/consoles/wine_bench.h"
#include "widgets/message_boxes.h"
#include "widgets/status_grid.h"

using namespace telvar;
using namespace telvar::wine;

class TestWineConsoleV1 : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void cleanupTestCase();
  void portListFromRegistry();
  void statusRead();
  void configurationWrite();
  void searchFindsDevice();
  void spinEditsAreDrawn();
  void blankFieldIsTold();
  void missingPort();

 private:
  template <typename T = QWidget>
  T* Find(const char* name) {
    return form_->findChild<T*>(QString::fromLatin1(name));
  }
  QStringList Memo() const { return form_->Controls().TeMemo1->toPlainText().split(QLatin1Char('\n')); }
  bool ClickAndWait(const char* button) {
    QSignalSpy ended(&form_->Link(), &BusLink::transactionEnded);
    QTest::mouseClick(Find<QAbstractButton>(button), Qt::LeftButton);
    return ended.wait(3000);
  }

  std::unique_ptr<v1::TForm1> form_;
};

void TestWineConsoleV1::initTestCase() {
  SetDialogHook([](QMessageBox::Icon, const QString&, QMessageBox::StandardButtons) { return QMessageBox::No; });
  form_ = std::make_unique<v1::TForm1>();
  form_->show();
  QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
}

void TestWineConsoleV1::cleanupTestCase() {
  form_.reset();
  SetDialogHook({});
}

// The window's own list, from HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, rebuilt
// by a press on the menu bar.
void TestWineConsoleV1::portListFromRegistry() {
  ConnectionSettings& c = form_->Connection();
  QCOMPARE(c.PortEntries(), (QStringList{"COM5", "COM9"}));
  QCOMPARE(c.TickedPortEntry(), 0);
  PressMenuBar(*form_);
  QCOMPARE(c.PortEntries(), (QStringList{"COM5", "COM9"}));
  QCOMPARE(c.PortEntryNames(), (QList<QByteArray>{"COM5", "COM9"}));
  QVERIFY(PickPort(c, "COM5"));
  QCOMPARE(c.TickedPortEntry(), 0);
}

void TestWineConsoleV1::statusRead() {
  const qsizetype before = SimLog().size();
  QVERIFY(ClickAndWait("TeButton5"));
  QCOMPARE(Memo().last(), kLineOk);
  const QList<SimLine> lines = SimLog().mid(before);
  QCOMPARE(lines.size(), 1);
  QCOMPARE(lines[0].request, Frame({0xF7, 0x03, 0x00, 0x00, 0x00, 0x0C}));
  QCOMPARE(lines[0].outcome, QStringLiteral("ok"));
  QCOMPARE(Memo().first(), QStringLiteral("TX : ") + lines[0].request + QLatin1Char(' '));

  auto* grid = Find<StatusGrid>("StatusGrid");
  const QStringList values{"    ТЕЛВАР-2(EX)", "    С ФИКСАЦИЕЙ ТРЕВОГИ", "    НОРМА", "    НОРМА", "    0.620",
                           "    0.500"};
  for (int row = 0; row < values.size(); ++row) QCOMPARE(grid->Cell(1, row), values[row]);
  QCOMPARE(Find<QDoubleSpinBox>("TeSpinEdit3")->text(), QStringLiteral("0.620"));
}

// The linear resistance of ШС1, typed beyond its bound and written with
// ЗАПИСАТЬ: the bound shown is the bound written.
void TestWineConsoleV1::configurationWrite() {
  const qsizetype before = SimLog().size();
  auto* edit = Find<QDoubleSpinBox>("TeSpinEdit3");
  telvar::testing::TypeInto(edit, QStringLiteral("1.5"));
  QTest::keyClick(edit, Qt::Key_Return);
  QCOMPARE(edit->text(), QStringLiteral("1.000"));
  QVERIFY(ClickAndWait("TeButton2"));
  const QList<SimLine> lines = SimLog().mid(before);
  QCOMPARE(lines.size(), 1);
  QCOMPARE(lines[0].request, QStringLiteral("F7 10 00 07 00 02 04 3F 80 00 00 A2 3E"));
  QCOMPARE(lines[0].outcome, QStringLiteral("ok"));
  QCOMPARE(Memo().last(), kLineOk);
}

// Search > Start at 100 ms a step walks up from address 1 to the device at 5.
void TestWineConsoleV1::searchFindsDevice() {
  const qsizetype before = SimLog().size();
  BusSearch& search = form_->Search();
  search.DelayItem[0]->trigger();
  search.CustomItem5->trigger();
  QTRY_COMPARE_WITH_TIMEOUT(search.CustomItem5->text(), QStringLiteral("Start"), 10000);
  const QList<SimLine> lines = SimLog().mid(before);
  QCOMPARE(lines.size(), 5);
  QCOMPARE(lines[4].request, Frame({0x05, 0x03, 0x00, 0x00, 0x00, 0x01}));
  QCOMPARE(lines[4].outcome, QStringLiteral("ok"));
  QVERIFY2(Memo().contains(QStringLiteral("   : ОБНАРУЖЕН ПРИБОР <ТЕЛВАР-2(EX)> ПО АДРЕСУ 005")),
           qPrintable(Memo().join('\n')));
  QCOMPARE(form_->Connection().TeSpinEdit1->value(), 5);
  QCOMPARE(form_->Link().deviceAddress, uint8_t(5));
}

// Every spin edit the window shows has its text drawn.
void TestWineConsoleV1::spinEditsAreDrawn() {
  QVERIFY(Find<QAbstractSpinBox>("TeSpinEdit3")->isVisible());
  QCOMPARE(BlankSpinEdits(*form_), QStringList());
}

// The check above tells a blank field from a drawn one: the same edit with
// its text taken away (the spin box not told) shows no pixel of the text's
// colour.
void TestWineConsoleV1::blankFieldIsTold() {
  auto* edit = Find<QDoubleSpinBox>("TeSpinEdit3");
  auto* line = edit->findChild<QLineEdit*>();
  QVERIFY(line);
  const QSignalBlocker quiet(line);
  const QString shown = line->text();
  QVERIFY(TextPixels(edit) >= kTextPixelsPerCharacter * int(shown.size()));
  line->setText(QString());
  const int blank = TextPixels(edit);
  const bool listed = !BlankSpinEdits(*form_).isEmpty();
  line->setText(shown);
  qInfo("%s \"%s\": %d pixels of the text's colour; blank: %d", qPrintable(edit->objectName()), qPrintable(shown),
        TextPixels(edit), blank);
  QCOMPARE(blank, 0);
  QVERIFY(listed);
}

// A port in the list whose device is gone.
void TestWineConsoleV1::missingPort() {
  const qsizetype before = SimLog().size();
  QVERIFY(PickPort(form_->Connection(), "COM9"));
  QTest::mouseClick(Find<QAbstractButton>("TeButton5"), Qt::LeftButton);
  QTRY_COMPARE(Memo().last(), kLinePortError + QStringLiteral("COM9"));
  QTest::qWait(200);
  QCOMPARE(SimLog().size(), before);
}

QTEST_MAIN(TestWineConsoleV1)
#include "tst_wine_console_v1.moc"
