// The telvar_v210 window against the device simulator: a wheel turn over a
// control that does not have the focus changes no setting and sends nothing
// (on a small screen it scrolls the window), and a typed number beyond a
// bound is shown and written as that bound.
#include <QDoubleSpinBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QtTest>

#include "tests/console_v2/sim_line.h"
#include "tests/support/user_input.h"
#include "widgets/window_frame.h"

using namespace telvar;
using namespace v2test;
using telvar::testing::ExpectWheelChangesNothing;
using telvar::testing::kQuietMs;
using telvar::testing::TurnWheel;
using telvar::testing::TypeInto;

namespace {

const char* const kCombos[] = {"TeSComboBox1", "TeSComboBox2"};
const char* const kSpinEdits[] = {"TeSpinEdit1", "TeSpinEdit2", "SEdit1", "SEdit2",
                                  "SEdit3",      "SEdit4",      "SEdit5", "SEdit6"};

// The window, shown and active, on a simulator with a ТЕЛВАР-2 at the
// start address 247.
struct Bench {
  Bench() : sim({QStringLiteral("--device"), QStringLiteral("247:20")}), window(sim.Path(), sim.Dir()) {
    window.form.show();
    window.form.activateWindow();
  }
  bool Ready() { return sim.Ready() && QTest::qWaitForWindowActive(&window.form); }
  QWidget* Control(const QString& name) { return window.Find(name); }

  // What every list and spin edit shows.
  QStringList Settings() {
    QStringList shown;
    for (const char* name : kCombos) shown << QString::number(window.Find<QComboBox>(name)->currentIndex());
    for (const char* name : kSpinEdits) shown << window.Find<QAbstractSpinBox>(name)->text();
    return shown;
  }

  SimLine sim;
  Window window;
};

// The value a status reply would have put into the edit.
void SetBefore(QAbstractSpinBox* edit, double value) {
  if (auto* length = qobject_cast<QSpinBox*>(edit)) length->setValue(int(value));
  if (auto* resistance = qobject_cast<QDoubleSpinBox*>(edit)) resistance->setValue(value);
}

}  // namespace

class TestFieldSafety : public QObject {
  Q_OBJECT
 private slots:
  void wheelChangesNoSetting_data();
  void wheelChangesNoSetting();
  void focusedSpinEditTakesTheWheel_data();
  void focusedSpinEditTakesTheWheel();
  void wheelScrollsTheWindowOnASmallScreen();
  void typedValueIsShownAndWritten_data();
  void typedValueIsShownAndWritten();

 private:
  Dialogs dialogs_;
};

void TestFieldSafety::wheelChangesNoSetting_data() {
  QTest::addColumn<QString>("control");
  QTest::addColumn<bool>("focused");
  for (const char* name : kCombos) QTest::newRow(name) << QString::fromLatin1(name) << false;
  for (const char* name : kSpinEdits) QTest::newRow(name) << QString::fromLatin1(name) << false;
  // A notch over a focused list would still be a pick.
  for (const char* name : kCombos) QTest::addRow("%s, focused", name) << QString::fromLatin1(name) << true;
}

void TestFieldSafety::wheelChangesNoSetting() {
  QFETCH(QString, control);
  QFETCH(bool, focused);
  Bench b;
  QVERIFY(b.Ready());
  QWidget* target = b.Control(control);
  QVERIFY(target);
  ExpectWheelChangesNothing(
      target, focused, [&b] { return b.Settings(); }, [&b] { return b.sim.Requests(); });
  if (QTest::currentTestFailed()) return;
  QCOMPARE(b.window.Link().sequencingState, uint8_t(kStateIdle));
  QCOMPARE(b.window.Link().deviceAddress, uint8_t(247));
}

void TestFieldSafety::focusedSpinEditTakesTheWheel_data() {
  QTest::addColumn<QString>("control");
  QTest::addColumn<int>("notches");
  QTest::addColumn<QString>("shown");
  QTest::newRow("TeSpinEdit1") << "TeSpinEdit1" << -2 << "245";
  QTest::newRow("TeSpinEdit2") << "TeSpinEdit2" << -1 << "246";
  QTest::newRow("SEdit2") << "SEdit2" << 1 << "0.621";
  QTest::newRow("SEdit6") << "SEdit6" << 3 << "3";
}

// Only its write button sends the value.
void TestFieldSafety::focusedSpinEditTakesTheWheel() {
  QFETCH(QString, control);
  QFETCH(int, notches);
  QFETCH(QString, shown);
  Bench b;
  QVERIFY(b.Ready());
  auto* edit = b.window.Find<QAbstractSpinBox>(control);
  QTest::mouseClick(edit, Qt::LeftButton);
  QVERIFY(edit->hasFocus());
  TurnWheel(edit, notches);
  QCOMPARE(edit->text(), shown);
  QTest::qWait(kQuietMs);
  QCOMPARE(b.sim.Requests(), QStringList());
}

void TestFieldSafety::wheelScrollsTheWindowOnASmallScreen() {
  Bench b;
  QVERIFY(b.Ready());
  QScrollArea* area = b.window.form.Controls().scrollArea;
  FitWindowToScreen(&b.window.form, area, 400);
  QScrollBar* bar = area->verticalScrollBar();
  QTRY_VERIFY(bar->maximum() > 0);
  const QStringList before = b.Settings();
  for (const char* name : {"SEdit4", "TeSComboBox1", "TeSComboBox2"}) {
    const int scrolled = bar->value();
    TurnWheel(b.Control(QString::fromLatin1(name)), -1);
    QVERIFY2(bar->value() > scrolled, name);
  }
  TurnWheel(b.Control(QStringLiteral("TeSpinEdit1")), 3);
  QCOMPARE(bar->value(), 0);
  QTest::qWait(kQuietMs);
  QCOMPARE(b.sim.Requests(), QStringList());
  QCOMPARE(b.Settings(), before);
}

void TestFieldSafety::typedValueIsShownAndWritten_data() {
  QTest::addColumn<QString>("edit");
  QTest::addColumn<QString>("button");
  QTest::addColumn<double>("before");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<bool>("byReturn");  // else the click on the button ends the typing
  QTest::addColumn<QString>("shown");
  QTest::addColumn<QString>("frame");
  const QString metres2000 = QStringLiteral("F7 06 00 19 07 D0 4F 37");
  const QString metres0 = QStringLiteral("F7 06 00 19 00 00 4C 9B");
  const QString ohms01 = QStringLiteral("F7 10 00 0C 00 02 04 3D CC CC CD B7 77");
  QTest::newRow("2500 m") << "SEdit4"
                          << "TeButton9" << 700.0 << "2500" << true << "2000" << metres2000;
  QTest::newRow("2000 m") << "SEdit4"
                          << "TeButton9" << 700.0 << "2000" << true << "2000" << metres2000;
  QTest::newRow("0 m") << "SEdit4"
                       << "TeButton9" << 700.0 << "0" << true << "0" << metres0;
  QTest::newRow("-5 m") << "SEdit4"
                        << "TeButton9" << 700.0 << "-5" << true << "0" << metres0;
  QTest::newRow("0.05 Ohm/m") << "SEdit1"
                              << "TeButton10" << 0.5 << "0.05" << true << "0.100" << ohms01;
  QTest::newRow("1.5 Ohm/m") << "SEdit1"
                             << "TeButton10" << 0.5 << "1.5" << true << "1.000"
                             << "F7 10 00 0C 00 02 04 3F 80 00 00 E3 8D";
  QTest::newRow("0.095 Ohm/m") << "SEdit1"
                               << "TeButton10" << 0.5 << "0.095" << true << "0.100" << ohms01;
  QTest::newRow("empty resistance") << "SEdit1"
                                    << "TeButton10" << 0.5 << "" << true << "0.500"
                                    << "F7 10 00 0C 00 02 04 3F 00 00 00 E2 65";
  // No Return: the click on ЗАПИСАТЬ takes the focus, and the field settles
  // on the bound before the click writes.
  QTest::newRow("2500 m, then ЗАПИСАТЬ") << "SEdit4"
                                         << "TeButton9" << 700.0 << "2500" << false << "2000" << metres2000;
  QTest::newRow("0.05 Ohm/m, then ЗАПИСАТЬ") << "SEdit1"
                                             << "TeButton10" << 0.5 << "0.05" << false << "0.100" << ohms01;
}

// The box shows what ЗАПИСАТЬ then writes.
void TestFieldSafety::typedValueIsShownAndWritten() {
  QFETCH(QString, edit);
  QFETCH(QString, button);
  QFETCH(double, before);
  QFETCH(QString, typed);
  QFETCH(bool, byReturn);
  QFETCH(QString, shown);
  QFETCH(QString, frame);
  Bench b;
  QVERIFY(b.Ready());
  auto* field = b.window.Find<QAbstractSpinBox>(edit);
  SetBefore(field, before);
  TypeInto(field, typed);
  if (byReturn) {
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(field->text(), shown);
  } else {
    QCOMPARE(field->text(), typed);
  }
  QTest::mouseClick(b.window.Button(button), Qt::LeftButton);
  QVERIFY(!field->hasFocus());
  QCOMPARE(field->text(), shown);
  QVERIFY(b.window.WaitForEnds(1));
  QCOMPARE(b.sim.Requests(), QStringList{frame});
}

QTEST_MAIN(TestFieldSafety)
#include "tst_field_safety.moc"
