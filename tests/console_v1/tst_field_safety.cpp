// The telvar_105 window against the device simulator: a wheel turn over a
// control that does not have the focus changes no setting and sends nothing
// (on a small screen it scrolls the window), and a typed number beyond a
// bound is shown and written as that bound.
#include <memory>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

#include "console_v1/main_window.h"
#include "serial/connection_settings.h"
#include "tests/sim/sim_process.h"
#include "tests/support/user_input.h"
#include "widgets/message_boxes.h"
#include "widgets/window_frame.h"

using namespace telvar;
using namespace telvar::v1;
using telvar::testing::ExpectWheelChangesNothing;
using telvar::testing::kQuietMs;
using telvar::testing::TurnWheel;
using telvar::testing::TypeInto;

namespace {

const char* const kSpinEdits[] = {"TeSpinEdit1", "TeSpinEdit2", "TeSpinEdit3"};

// The window, shown and active, on a simulator with a ТЕЛВАР-2(EX) at the
// start address 247.
struct Bench {
  SimProcess sim;
  std::unique_ptr<TForm1> form;

  bool Start() {
    if (!sim.start({QStringLiteral("--device"), QStringLiteral("247:3")})) return false;
    form = std::make_unique<TForm1>();
    const QString path = sim.link();
    form->Connection().platformPortList = [path] { return PlatformPortList{true, {path}}; };
    form->Connection().TeMenuBar1MouseDown();
    form->show();
    form->activateWindow();
    return QTest::qWaitForWindowActive(form.get());
  }
  template <typename T = QWidget>
  T* Find(const QString& name) const {
    return form->findChild<T*>(name);
  }
  QStringList Requests() const {
    QStringList requests;
    for (const SimLogLine& line : sim.log()) requests << line.request;
    return requests;
  }
  // What the baud list and every spin edit show.
  QStringList Settings() const {
    QStringList shown{QString::number(Find<QComboBox>(QStringLiteral("TeSComboBox1"))->currentIndex())};
    for (const char* name : kSpinEdits) shown << Find<QAbstractSpinBox>(QString::fromLatin1(name))->text();
    return shown;
  }
};

}  // namespace

class TestFieldSafety : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void cleanupTestCase();
  void wheelChangesNoSetting_data();
  void wheelChangesNoSetting();
  void focusedSpinEditTakesTheWheel();
  void wheelScrollsTheWindowOnASmallScreen();
  void typedValueIsShownAndWritten_data();
  void typedValueIsShownAndWritten();
};

void TestFieldSafety::initTestCase() {
  // A baud write would ask whether the PC follows; nothing may get that far.
  SetDialogHook([](QMessageBox::Icon, const QString&, QMessageBox::StandardButtons) { return QMessageBox::No; });
}

void TestFieldSafety::cleanupTestCase() { SetDialogHook({}); }

void TestFieldSafety::wheelChangesNoSetting_data() {
  QTest::addColumn<QString>("control");
  QTest::addColumn<bool>("focused");
  QTest::newRow("TeSComboBox1") << "TeSComboBox1" << false;
  QTest::newRow("TeSComboBox1, focused") << "TeSComboBox1" << true;
  for (const char* name : kSpinEdits) QTest::newRow(name) << QString::fromLatin1(name) << false;
}

void TestFieldSafety::wheelChangesNoSetting() {
  QFETCH(QString, control);
  QFETCH(bool, focused);
  Bench b;
  QVERIFY(b.Start());
  QWidget* target = b.Find(control);
  QVERIFY(target);
  ExpectWheelChangesNothing(
      target, focused, [&b] { return b.Settings(); }, [&b] { return b.Requests(); });
  if (QTest::currentTestFailed()) return;
  QCOMPARE(b.form->Link().deviceAddress, uint8_t(247));
}

// Only ЗАПИСАТЬ sends the resistance.
void TestFieldSafety::focusedSpinEditTakesTheWheel() {
  Bench b;
  QVERIFY(b.Start());
  auto* edit = b.Find<QDoubleSpinBox>(QStringLiteral("TeSpinEdit3"));
  QTest::mouseClick(edit, Qt::LeftButton);
  QVERIFY(edit->hasFocus());
  TurnWheel(edit, -2);
  QCOMPARE(edit->text(), QStringLiteral("0.618"));
  QTest::qWait(kQuietMs);
  QCOMPARE(b.Requests(), QStringList());
}

void TestFieldSafety::wheelScrollsTheWindowOnASmallScreen() {
  Bench b;
  QVERIFY(b.Start());
  QScrollArea* area = b.form->Controls().content;
  FitWindowToScreen(b.form.get(), area, 400);
  QScrollBar* bar = area->verticalScrollBar();
  QTRY_VERIFY(bar->maximum() > 0);
  const QStringList before = b.Settings();
  for (const char* name : {"TeSpinEdit3", "TeSComboBox1"}) {
    const int scrolled = bar->value();
    TurnWheel(b.Find(QString::fromLatin1(name)), -1);
    QVERIFY2(bar->value() > scrolled, name);
  }
  QTest::qWait(kQuietMs);
  QCOMPARE(b.Requests(), QStringList());
  QCOMPARE(b.Settings(), before);
}

void TestFieldSafety::typedValueIsShownAndWritten_data() {
  QTest::addColumn<QString>("edit");
  QTest::addColumn<QString>("button");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<bool>("byReturn");  // else the click on the button ends the typing
  QTest::addColumn<QString>("shown");
  QTest::addColumn<QString>("frame");
  // TeSpinEdit3 holds 0.500 before the typing, TeSpinEdit2 12.
  const QString ohms0095 = QStringLiteral("F7 10 00 07 00 02 04 3D C2 8F 5C 67 9B");
  const QString ohms1 = QStringLiteral("F7 10 00 07 00 02 04 3F 80 00 00 A2 3E");
  const QString ohms05 = QStringLiteral("F7 10 00 07 00 02 04 3F 00 00 00 A3 D6");
  const QString address1 = QStringLiteral("F7 06 00 01 00 01 0D 5C");
  QTest::newRow("0.05 Ohm/m") << "TeSpinEdit3"
                              << "TeButton2"
                              << "0.05" << true << "0.095" << ohms0095;
  QTest::newRow("1.5 Ohm/m") << "TeSpinEdit3"
                             << "TeButton2"
                             << "1.5" << true << "1.000" << ohms1;
  QTest::newRow("0.095 Ohm/m") << "TeSpinEdit3"
                               << "TeButton2"
                               << "0.095" << true << "0.095" << ohms0095;
  QTest::newRow("empty resistance") << "TeSpinEdit3"
                                    << "TeButton2"
                                    << "" << true << "0.500" << ohms05;
  QTest::newRow("a lone minus") << "TeSpinEdit3"
                                << "TeButton2"
                                << "-" << true << "0.500" << ohms05;
  QTest::newRow("new address 300") << "TeSpinEdit2"
                                   << "TeButton1"
                                   << "300" << true << "247"
                                   << "F7 06 00 01 00 F7 8D 1A";
  QTest::newRow("new address 0") << "TeSpinEdit2"
                                 << "TeButton1"
                                 << "0" << true << "1" << address1;
  QTest::newRow("new address -5") << "TeSpinEdit2"
                                  << "TeButton1"
                                  << "-5" << true << "1" << address1;
  QTest::newRow("empty new address") << "TeSpinEdit2"
                                     << "TeButton1"
                                     << "" << true << "12"
                                     << "F7 06 00 01 00 0C CC 99";
  // No Return: the click on the button takes the focus, and the field
  // settles on the bound before the click writes.
  QTest::newRow("1.5 Ohm/m, then ЗАПИСАТЬ") << "TeSpinEdit3"
                                            << "TeButton2"
                                            << "1.5" << false << "1.000" << ohms1;
  QTest::newRow("new address 0, then -->") << "TeSpinEdit2"
                                           << "TeButton1"
                                           << "0" << false << "1" << address1;
}

// The box shows what the button then writes.
void TestFieldSafety::typedValueIsShownAndWritten() {
  QFETCH(QString, edit);
  QFETCH(QString, button);
  QFETCH(QString, typed);
  QFETCH(bool, byReturn);
  QFETCH(QString, shown);
  QFETCH(QString, frame);
  Bench b;
  QVERIFY(b.Start());
  // The values a status reply or an earlier write would have left.
  b.Find<QDoubleSpinBox>(QStringLiteral("TeSpinEdit3"))->setValue(0.5);
  b.Find<QSpinBox>(QStringLiteral("TeSpinEdit2"))->setValue(12);
  auto* field = b.Find<QAbstractSpinBox>(edit);
  TypeInto(field, typed);
  if (byReturn) {
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(field->text(), shown);
  } else {
    QCOMPARE(field->text(), typed);
  }
  QSignalSpy ended(&b.form->Link(), &BusLink::transactionEnded);
  QTest::mouseClick(b.Find<QPushButton>(button), Qt::LeftButton);
  QVERIFY(!field->hasFocus());
  QCOMPARE(field->text(), shown);
  QVERIFY(ended.wait(2000));
  QCOMPARE(b.Requests(), QStringList{frame});
}

QTEST_MAIN(TestFieldSafety)
#include "tst_field_safety.moc"
