// The keyboard in either window: Tab and Shift+Tab go once round every
// control in the order it is read, top to bottom and left to right, from the
// menu bar that has the focus when the window opens, and never get caught in
// the status grid; Return presses the focused button; moving the focus alone
// sends nothing to the device.
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QKeyEvent>
#include <QMenuBar>
#include <QRadioButton>
#include <QtTest>

#include "tests/console_v2/two_windows.h"
#include "tests/support/user_input.h"

using both::Bench;
using both::Program;
using telvar::testing::kQuietMs;

namespace {

const QStringList kConnection{"TeSComboBox1", "TeSpinEdit1", "TeButton1", "TeSpinEdit2"};

// A group of radio buttons is one stop, named by its buttons.
QStringList TabOrder(Program program) {
  if (program == Program::V210) {
    return kConnection + QStringList{"A0_Button/A1_Button/A2_Button",
                                     "SEdit4",
                                     "SEdit5",
                                     "SEdit6",
                                     "TeButton9",
                                     "SEdit1",
                                     "SEdit2",
                                     "SEdit3",
                                     "TeButton10",
                                     "B0_CBox",
                                     "B1_CBox",
                                     "B2_CBox",
                                     "B0_Button/B1_Button",
                                     "C0_Button/C1_Button",
                                     "D0_Button/D1_Button",
                                     "A0_CBox",
                                     "TeButton5",
                                     "A1_CBox",
                                     "TeButton4",
                                     "TeButton3",
                                     "StatusGrid",
                                     "TeSComboBox2",
                                     "TeMemo1"};
  }
  return kConnection + QStringList{"A0_Button/A1_Button", "TeSpinEdit3", "TeButton2", "B0_Button/B1_Button",
                                   "C0_Button/C1_Button", "TeCheckBox1", "TeButton5", "TeButton3",
                                   "StatusGrid",          "TeMemo1"};
}

// A radio button's group: its button group, or else the radio buttons
// beside it.
QString RadioGroup(QRadioButton* radio) {
  QStringList names;
  const QList<QAbstractButton*> buttons =
      radio->group() ? radio->group()->buttons()
                     : radio->parentWidget()->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly);
  for (QAbstractButton* button : buttons) {
    if (qobject_cast<QRadioButton*>(button)) names << button->objectName();
  }
  names.sort();
  return names.join(QLatin1Char('/'));
}

// The control that has the focus: a spin edit's own line edit counts as the
// spin edit, a radio button as its group. A control without a name shows as
// its class.
QString Focused() {
  if (auto* radio = qobject_cast<QRadioButton*>(QApplication::focusWidget())) return RadioGroup(radio);
  for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget()) {
    const QString name = w->objectName();
    if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_"))) return name;
    if (name.isEmpty()) return QStringLiteral("<%1>").arg(QLatin1String(w->metaObject()->className()));
  }
  return QStringLiteral("<none>");
}

void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
}

// Presses Tab (forward) or Shift+Tab count times from where the focus is and
// lists the controls it reaches.
QStringList Walk(bool forward, int count) {
  QStringList reached;
  for (int i = 0; i < count; ++i) {
    if (forward) {
      Press(Qt::Key_Tab);
    } else {
      Press(Qt::Key_Backtab, Qt::ShiftModifier);
    }
    reached << Focused();
  }
  return reached;
}

QString StatusRequest(Program program) {
  const int count = program == Program::V210 ? 30 : 12;
  return hexText(BytesWithCrc({0xF7, 0x03, 0x00, 0x00, 0x00, count}));
}

// The window opened, its menu bar holding the focus.
bool AtStart(Bench& b) {
  if (!b.Start()) return false;
  return QTest::qWaitFor([&b] { return QApplication::focusWidget() == b.Form()->menuBar(); });
}

}  // namespace

class TestKeyboard : public QObject {
  Q_OBJECT
 private slots:
  void tabGoesOnceRoundInReadingOrder_data();
  void tabGoesOnceRoundInReadingOrder();
  void returnPressesTheFocusedButton_data();
  void returnPressesTheFocusedButton();
  void movingTheFocusSendsNothing_data();
  void movingTheFocusSendsNothing();
};

void TestKeyboard::tabGoesOnceRoundInReadingOrder_data() {
  QTest::addColumn<Program>("program");
  QTest::addColumn<bool>("forward");
  for (Program program : {Program::V210, Program::V105}) {
    QTest::addRow("%s, Tab", both::ProgramName(program)) << program << true;
    QTest::addRow("%s, Shift+Tab", both::ProgramName(program)) << program << false;
  }
}

// From the menu bar round to the first control again.
void TestKeyboard::tabGoesOnceRoundInReadingOrder() {
  QFETCH(Program, program);
  QFETCH(bool, forward);
  Bench b(program);
  QVERIFY(AtStart(b));
  QStringList order = TabOrder(program);
  if (!forward) std::reverse(order.begin(), order.end());
  // Whole walks compared, so that a failure shows where the walk went.
  const QStringList reached = Walk(forward, int(order.size()) + 1);
  QCOMPARE(reached.join(QLatin1Char(' ')), (order + QStringList{order.first()}).join(QLatin1Char(' ')));
}

void TestKeyboard::returnPressesTheFocusedButton_data() {
  QTest::addColumn<Program>("program");
  QTest::addColumn<int>("key");
  QTest::addColumn<int>("repeats");  // auto-repeats of the held key
  for (Program program : {Program::V210, Program::V105}) {
    QTest::addRow("%s, Return", both::ProgramName(program)) << program << int(Qt::Key_Return) << 0;
    QTest::addRow("%s, Enter", both::ProgramName(program)) << program << int(Qt::Key_Enter) << 0;
    QTest::addRow("%s, Return held", both::ProgramName(program)) << program << int(Qt::Key_Return) << 5;
  }
}

// ЗАПРОС ПАРАМЕТРОВ, reached with Tab, sends one status request.
void TestKeyboard::returnPressesTheFocusedButton() {
  QFETCH(Program, program);
  QFETCH(int, key);
  QFETCH(int, repeats);
  Bench b(program);
  QVERIFY(AtStart(b));
  const QStringList order = TabOrder(program);
  Walk(true, int(order.indexOf(QStringLiteral("TeButton5"))) + 1);
  QCOMPARE(Focused(), QStringLiteral("TeButton5"));
  const Qt::KeyboardModifiers modifiers = key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
  QWidget* button = QApplication::focusWidget();
  QTest::keyPress(button, Qt::Key(key), modifiers);
  for (int i = 0; i < repeats; ++i) {
    QKeyEvent again(QEvent::KeyPress, key, modifiers, QString(), true);
    QApplication::sendEvent(button, &again);
  }
  QTest::keyRelease(button, Qt::Key(key), modifiers);
  QVERIFY(b.WaitForEnds(1));
  QTest::qWait(kQuietMs);
  QCOMPARE(b.Requests(), QStringList{StatusRequest(program)});
}

void TestKeyboard::movingTheFocusSendsNothing_data() {
  QTest::addColumn<Program>("program");
  for (Program program : {Program::V210, Program::V105}) QTest::newRow(both::ProgramName(program)) << program;
}

// Twice round forward and once back: nothing is sent and no setting changes.
void TestKeyboard::movingTheFocusSendsNothing() {
  QFETCH(Program, program);
  Bench b(program);
  QVERIFY(AtStart(b));
  const auto settings = [&b] {
    QStringList shown;
    for (QComboBox* combo : b.Form()->findChildren<QComboBox*>()) shown << QString::number(combo->currentIndex());
    for (QAbstractSpinBox* edit : b.Form()->findChildren<QAbstractSpinBox*>()) shown << edit->text();
    for (QAbstractButton* button : b.Form()->findChildren<QAbstractButton*>())
      shown << QString::number(button->isChecked());
    return shown;
  };
  const QStringList before = settings();
  const int round = int(TabOrder(program).size());
  Walk(true, 2 * round);
  Walk(false, round);
  QTest::qWait(kQuietMs);
  QCOMPARE(b.Requests(), QStringList());
  QCOMPARE(settings(), before);
  QCOMPARE(b.Link().deviceAddress, uint8_t(247));
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
