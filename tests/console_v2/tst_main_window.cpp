// The window of telvar_v210 without a device: its start-up state, which
// control changes run their handlers, the echo guard, the model combo box,
// the controls by situation, and the device address around a search. The
// port cannot be opened, so every request ends at once in the log. Then the
// window as it shows on a 1280x1024 screen: whole, with a whole status bar,
// and why a port could not be opened.
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QtTest>

#include "console_v2/main_window.h"
#include "console_v2/status_decoder.h"
#include "link/bus_link.h"
#include "link/traffic_log.h"
#include "search/bus_search.h"
#include "serial/com_port.h"
#include "serial/connection_settings.h"
#include "tests/console_v2/status_frames.h"
#include "tests/support/dac_capabilities.h"
#include "tests/support/pty_device.h"
#include "tests/support/window_checks.h"
#include "widgets/message_boxes.h"
#include "widgets/status_bar_panel.h"
#include "widgets/status_grid.h"
#include "widgets/window_frame.h"

using namespace telvar;
using namespace telvar::v2;

using Action = std::function<void(TForm1&)>;
Q_DECLARE_METATYPE(Action)

namespace {

const char* const kNoPort = "/nonexistent/ttyV210";
// A port as Linux names it by the adapter's serial number: 62 characters.
const QString kLongPath = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");

// The window on a port that cannot be opened, with the requests it tried to
// send, taken from the traffic log as each is logged.
struct Fixture {
  Fixture() {
    SetDialogHook([](QMessageBox::Icon, const QString&, QMessageBox::StandardButtons) { return QMessageBox::Ok; });
    form = std::make_unique<TForm1>();
    form->ComPort1().SetPort(kNoPort);
    QObject::connect(form->Controls().TeMemo1, &QPlainTextEdit::textChanged, [this] {
      const QStringList lines = form->Controls().TeMemo1->toPlainText().split(QLatin1Char('\n'));
      if (lines.size() == 2 && lines[0].startsWith(kRequestPrefix) && lines[1] == kPlaceholder) {
        sent << lines[0].mid(kRequestPrefix.size()).trimmed();
      }
    });
  }
  ~Fixture() {
    form.reset();
    SetDialogHook({});
  }
  template <typename T = QWidget>
  T* Find(const QString& name) {
    return form->findChild<T*>(name);
  }
  QAbstractButton* Button(const QString& name) { return Find<QAbstractButton>(name); }
  bool Show() {
    form->show();
    return QTest::qWaitForWindowExposed(form.get());
  }
  // The platform lists port alone; a press on the menu bar picks it up.
  void UsePort(const QString& port) {
    form->Connection().platformPortList = [port] { return PlatformPortList{true, {port}}; };
    QTest::mousePress(form->Controls().TeMenuBar1, Qt::LeftButton, {}, QPoint(2, 2));
    if (QWidget* popup = QApplication::activePopupWidget()) QTest::keyClick(popup, Qt::Key_Escape);
    QCoreApplication::processEvents();
  }
  // Clicks TeButton5 and waits for the end of the transaction it starts.
  bool RequestAndWait() {
    QSignalSpy ended(&form->Link(), &BusLink::transactionEnded);
    QTest::mouseClick(Button("TeButton5"), Qt::LeftButton);
    return ended.wait(3000);
  }
  // Hands the link a status reply as the transaction end would.
  uint8_t Decode(const QByteArray& reply) {
    form->Link().frame = v2test::ToFrame(reply);
    form->Link().receivedCount = uint16_t(reply.size());
    return form->Link().hooks.statusDecoder();
  }

  std::unique_ptr<TForm1> form;
  QStringList sent;
};

}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT
 private slots:
  void startUp();
  void fitsASmallScreen();
  void largeStepsOfTheSpinEdits();
  void programChangesRunHandlers_data();
  void programChangesRunHandlers();
  void decodedValuesAreNotWrittenBack();
  void echoGuardIgnoresUserClicks();
  void modelComboBoxStartsOnlyOnAnotherUserPick();
  void modelPickDuringSearchIsUndone();
  void searchStoppedAtOnceLeavesAValidAddress();
  void controlsFollowTheStateAcrossASearch();
  void opensWhole_data();
  void opensWhole();
  void portPanelLeavesTheOthersWhole_data();
  void portPanelLeavesTheOthersWhole();
  void openFailureShowsWhy_data();
  void openFailureShowsWhy();
};

void TestMainWindow::startUp() {
  Fixture f;
  TForm1& form = *f.form;
  QCOMPARE(form.windowTitle(), QStringLiteral("ТЕЛВАР - V2 (ID=0x13,14,15)  (MODBUS-RTU)   V2.1 - 2017"));
  QCOMPARE(form.Link().deviceAddress, uint8_t(247));
  QCOMPARE(form.Link().baudIndex, uint8_t(3));
  QVERIFY(!form.Link().Timer_Rx.isActive() && !form.Link().Timer_Programm.isActive() &&
          !form.Link().Timer_Wait.isActive());
  // The window owns the cycle's three timers.
  for (const char* name : {"Timer_Rx", "Timer_Programm", "Timer_Wait"})
    QVERIFY2(form.findChild<QTimer*>(QLatin1String(name)), name);

  QCOMPARE(f.Find<QMenuBar>("TeMenuBar1"), form.menuBar());
  QStringList menus;
  for (QAction* action : form.menuBar()->actions()) menus << action->text();
  QCOMPARE(menus, (QStringList{"Connection", "Search"}));
  QCOMPARE(form.Connection().StatusPanel[2]->text(), QStringLiteral("DEVICE : A = 247; Baud = 9600"));
  QCOMPARE(form.Connection().StatusPanel[1]->text(), QStringLiteral("BaudRate = 9600"));

  const QStringList groups{"TeGroupBox1", "TeGroupBox2", "TeGroupBox3", "TeGroupBox4", "TeGroupBox6", "TeGroupBox7"};
  for (const QString& name : groups) QVERIFY2(f.Find(name) && !f.Find(name)->isHidden(), qPrintable(name));
  QVERIFY(f.Find("TeGroupBox5")->isHidden());
  QVERIFY(f.Find("TeProgressBar1")->isHidden());
  QCOMPARE(f.Find<QGroupBox>("TeGroupBox6")->title(),
           QStringLiteral("  ЛОГИКА РАБОТЫ ВЫХОДОВ \"НОРМА1..3\" В РЕЖИМЕ <ТРЕВОГА>  "));

  QCOMPARE(f.Button("TeButton5")->text(), QStringLiteral("&ЗАПРОС ПАРАМЕТРОВ"));
  QVERIFY(f.Button("A0_Button")->isChecked());
  for (const char* name : {"B0_Button", "B1_Button", "C0_Button", "C1_Button", "D0_Button", "D1_Button", "B0_CBox",
                           "B1_CBox", "B2_CBox", "A0_CBox", "A1_CBox"}) {
    QVERIFY2(!f.Button(name)->isChecked(), name);
  }
  for (const char* name : {"SEdit1", "SEdit2", "SEdit3"}) {
    auto* edit = f.Find<QDoubleSpinBox>(name);
    QCOMPARE(edit->text(), QStringLiteral("0.620"));
    QCOMPARE(edit->minimum(), 0.1);
    QCOMPARE(edit->maximum(), 1.0);
  }
  for (const char* name : {"SEdit4", "SEdit5", "SEdit6"}) {
    auto* edit = f.Find<QSpinBox>(name);
    QCOMPARE(edit->value(), 0);
    QCOMPARE(edit->maximum(), 2000);
  }
  auto* model = f.Find<QComboBox>("TeSComboBox2");
  QCOMPARE(model->currentIndex(), -1);
  QCOMPARE(model->itemText(0), QString(30, QLatin1Char(' ')) + QStringLiteral("ТЕЛВАР-1 "));
  QCOMPARE(model->itemText(2), QString(30, QLatin1Char(' ')) + QStringLiteral("ТЕЛВАР-3"));

  auto* grid = f.Find<StatusGrid>("StatusGrid");
  QCOMPARE(grid->Cell(0, 0), QStringLiteral("  ТИП"));
  QCOMPARE(grid->Cell(0, 6), QStringLiteral("  ИП2 : СТАТУС"));
  QCOMPARE(grid->columnWidth(1), 248);

  auto* memo = f.Find<QPlainTextEdit>("TeMemo1");
  QVERIFY(memo->isReadOnly());
  QCOMPARE(memo->toPlainText(), QStringLiteral("TX :\nRX :"));
  QCOMPARE(memo->palette().color(QPalette::Text), QColor(0, 0, 128));
  QCOMPARE(memo->font().pixelSize(), 11);
  QCOMPARE(memo->font().family(), QStringLiteral("Courier New"));
}

// On a screen 700 pixels high the window takes 675 and scrolls; its width
// grows by the scroll bar's.
void TestMainWindow::fitsASmallScreen() {
  Fixture f;
  const int width = f.form->width();
  QVERIFY(f.form->height() > 675);
  FitWindowToScreen(f.form.get(), f.form->Controls().scrollArea, 700);
  QCOMPARE(f.form->height(), 675);
  QCOMPARE(f.form->width(), width + f.form->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
  QCOMPARE(f.form->Controls().scrollArea->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

// Page Up and Page Down step a cable length by 100 m and a linear
// resistance by 0.01 Ohm/m, within their bounds.
void TestMainWindow::largeStepsOfTheSpinEdits() {
  Fixture f;
  auto* length = f.Find<QSpinBox>("SEdit4");
  QTest::keyClick(length, Qt::Key_PageUp);
  QCOMPARE(length->value(), 100);
  length->setValue(1950);
  QTest::keyClick(length, Qt::Key_PageUp);
  QCOMPARE(length->value(), 2000);
  QTest::keyClick(length, Qt::Key_PageDown);
  QCOMPARE(length->value(), 1900);
  QTest::keyClick(length, Qt::Key_Up);
  QCOMPARE(length->value(), 1901);
  auto* resistance = f.Find<QDoubleSpinBox>("SEdit1");
  QTest::keyClick(resistance, Qt::Key_PageUp);
  QCOMPARE(resistance->value(), 0.63);
}

// A radio button's handler runs when it becomes selected, by the user or
// the program, and not when it is cleared; a check box's on every change.
void TestMainWindow::programChangesRunHandlers_data() {
  QTest::addColumn<Action>("action");
  QTest::addColumn<QStringList>("sent");

  const auto set = [](const char* name, bool checked) {
    return [name, checked](TForm1& form) { form.findChild<QAbstractButton*>(name)->setChecked(checked); };
  };
  const auto quietly = [](const char* name, bool checked) {
    return [name, checked](TForm1& form) {
      auto* button = form.findChild<QAbstractButton*>(name);
      const QSignalBlocker block(button);
      button->setChecked(checked);
    };
  };
  const auto both = [](Action first, Action second) {
    return Action([=](TForm1& form) {
      first(form);
      second(form);
    });
  };
  QTest::newRow("box ticked") << Action(set("B0_CBox", true)) << QStringList{"F7 06 00 1C 00 FF 1C DA"};
  QTest::newRow("box cleared") << both(quietly("B0_CBox", true), set("B0_CBox", false))
                               << QStringList{"F7 06 00 1C 00 00 5C 9A"};
  QTest::newRow("button selected") << Action(set("B1_Button", true)) << QStringList{"F7 06 00 12 00 FF 7D 19"};
  QTest::newRow("other button of the pair selected")
      << both(quietly("B0_Button", true), set("B1_Button", true)) << QStringList{"F7 06 00 12 00 FF 7D 19"};
  QTest::newRow("button cleared") << both(quietly("C1_Button", true), Action([](TForm1& form) {
                                            CheckOutputPair(form.Controls().outputPair[1], OutputLogic::None);
                                          }))
                                  << QStringList{};
  QTest::newRow("loop choice sends nothing") << Action(set("A2_Button", true)) << QStringList{};
}

void TestMainWindow::programChangesRunHandlers() {
  QFETCH(Action, action);
  QFETCH(QStringList, sent);
  Fixture f;
  action(*f.form);
  QCOMPARE(f.sent, sent);
  if (!sent.isEmpty()) QCOMPARE(f.form->Log().Lines().last(), kLinePortError + QLatin1String(kNoPort));
}

void TestMainWindow::decodedValuesAreNotWrittenBack() {
  Fixture f;
  BusLink& link = f.form->Link();
  link.echoGuard = 1;  // as the status request leaves it
  QCOMPARE(f.Decode(v2test::WorkedExample()), uint8_t(kReplyStatus));
  QVERIFY(f.Button("B0_Button")->isChecked());
  QVERIFY(f.Button("B2_CBox")->isChecked());
  QCOMPARE(f.Find<QComboBox>("TeSComboBox2")->currentIndex(), 1);
  QCOMPARE(f.sent, QStringList{});
  QCOMPARE(link.sequencingState, uint8_t(kStateIdle));
  QVERIFY(!link.Timer_Programm.isActive());

  // Without the guard the same block would be sent back, control by control.
  link.echoGuard = 0;
  QCOMPARE(f.Decode(v2test::StatusReply(v2test::With(v2test::WorkedRegisters(), {{18, 255}, {28, 255}}))),
           uint8_t(kReplyStatus));
  QCOMPARE(f.sent, (QStringList{"F7 06 00 12 00 FF 7D 19", "F7 06 00 1C 00 FF 1C DA"}));
}

// While a status reply is awaited a click on a flag or an output button
// sends nothing and the control keeps what the user gave it.
void TestMainWindow::echoGuardIgnoresUserClicks() {
  Fixture f;
  f.form->Link().echoGuard = 1;
  QTest::mouseClick(f.Button("B2_CBox"), Qt::LeftButton);
  QTest::mouseClick(f.Button("D1_Button"), Qt::LeftButton);
  QVERIFY(f.Button("B2_CBox")->isChecked());
  QVERIFY(f.Button("D1_Button")->isChecked());
  QCOMPARE(f.sent, QStringList{});
  // Commands without the echo check go.
  QTest::mouseClick(f.Button("TeButton3"), Qt::LeftButton);
  QCOMPARE(f.sent, QStringList{"F7 06 00 17 AA 55 93 C7"});
}

void TestMainWindow::modelComboBoxStartsOnlyOnAnotherUserPick() {
  Fixture f;
  BusLink& link = f.form->Link();
  auto* model = f.Find<QComboBox>("TeSComboBox2");
  link.echoGuard = 1;
  f.Decode(v2test::WorkedExample());
  QCOMPARE(model->currentIndex(), 1);
  QCOMPARE(link.sequencingState, uint8_t(kStateIdle));

  emit model->activated(1);  // the item shown, picked again
  QCOMPARE(link.sequencingState, uint8_t(kStateIdle));
  QVERIFY(!link.Timer_Programm.isActive());

  model->setCurrentIndex(0);
  emit model->activated(0);
  QCOMPARE(link.sequencingState, uint8_t(kStateModelUnlock));
  QCOMPARE(link.modelIdToWrite, uint16_t(19));
  QVERIFY(link.Timer_Programm.isActive());
  QCOMPARE(link.Timer_Programm.interval(), 20);
  // The unlock write fails on this port and the sequence is dropped.
  QTRY_COMPARE(f.sent, QStringList{"F7 06 00 83 5E 2B 14 CB"});
  QCOMPARE(link.sequencingState, uint8_t(kStateIdle));
}

void TestMainWindow::modelPickDuringSearchIsUndone() {
  Fixture f;
  BusLink& link = f.form->Link();
  auto* model = f.Find<QComboBox>("TeSComboBox2");
  link.echoGuard = 1;
  f.Decode(v2test::WorkedExample());
  f.form->Search().CustomItem5->trigger();
  QCOMPARE(link.sequencingState, uint8_t(kStateSearch));
  QVERIFY(!model->isHidden());

  model->setCurrentIndex(2);
  emit model->activated(2);
  QCOMPARE(model->currentIndex(), 1);
  QCOMPARE(link.sequencingState, uint8_t(kStateSearch));
  QCOMPARE(link.modelIdToWrite, uint16_t(0));
  f.form->Search().CustomItem5->trigger();
}

// Stopped before its first step, the search leaves address 1, not the
// broadcast address 0 it counts from.
void TestMainWindow::searchStoppedAtOnceLeavesAValidAddress() {
  Fixture f;
  BusSearch& search = f.form->Search();
  search.CustomItem5->trigger();
  search.CustomItem5->trigger();
  QCOMPARE(f.form->Link().sequencingState, uint8_t(kStateIdle));
  QCOMPARE(f.form->Link().deviceAddress, uint8_t(1));
  QCOMPARE(f.form->Connection().TeSpinEdit1->value(), 1);
  QCOMPARE(f.form->Connection().StatusPanel[2]->text(), QStringLiteral("DEVICE : A = 001; Baud = 9600;"));
  QTest::mouseClick(f.Button("TeButton3"), Qt::LeftButton);
  QCOMPARE(f.sent, QStringList{"01 06 00 17 AA 55 87 51"});
}

// The controls follow the sequencing state: a search that replaces the
// poll gives everything back, and the poll can start again.
void TestMainWindow::controlsFollowTheStateAcrossASearch() {
  Fixture f;
  BusLink& link = f.form->Link();
  QTest::mouseClick(f.Button("A0_CBox"), Qt::LeftButton);
  QTest::mouseClick(f.Button("TeButton5"), Qt::LeftButton);
  QCOMPARE(link.sequencingState, uint8_t(kStateCyclicPoll));
  QVERIFY(!f.Find("TeGroupBox7")->isEnabled());

  f.form->Search().CustomItem5->trigger();
  QCOMPARE(link.sequencingState, uint8_t(kStateSearch));
  QCOMPARE(f.Button("TeButton5")->text(), QStringLiteral("ЗАПРОС ПАРАМЕТРОВ"));
  QTest::mouseClick(f.Button("TeButton5"), Qt::LeftButton);  // ignored while searching
  QCOMPARE(link.sequencingState, uint8_t(kStateSearch));
  f.form->Search().CustomItem5->trigger();
  QCOMPARE(link.sequencingState, uint8_t(kStateIdle));
  QVERIFY(f.Find("TeGroupBox7")->isEnabled());
  QVERIFY(f.Button("A0_CBox")->isEnabled());
  QVERIFY(!f.Find("TeSComboBox2")->isHidden());

  QVERIFY(f.Button("A0_CBox")->isChecked());
  QTest::mouseClick(f.Button("TeButton5"), Qt::LeftButton);
  QCOMPARE(link.sequencingState, uint8_t(kStateCyclicPoll));
  QCOMPARE(f.Button("TeButton5")->text(), QStringLiteral("СТОП"));
  QTest::mouseClick(f.Button("TeButton5"), Qt::LeftButton);
  QCOMPARE(link.sequencingState, uint8_t(kStateIdle));
  QCOMPARE(f.Button("TeButton5")->text(), QStringLiteral("ЗАПРОС ПАРАМЕТРОВ"));
}

// Where the screen has room the window is as tall as what it holds: no
// scroll bar, every frame whole. On a short screen the scroll bar comes with
// the extra width it takes, and still nothing is cut off on the right.
void TestMainWindow::opensWhole_data() {
  QTest::addColumn<int>("screenHeight");  // 0: the screen's own
  QTest::addColumn<bool>("scrolls");
  QTest::newRow("1280x1024 screen") << 0 << false;
  QTest::newRow("700 px screen") << 700 << true;
}

void TestMainWindow::opensWhole() {
  QFETCH(int, screenHeight);
  QFETCH(bool, scrolls);
  QVERIFY2(QGuiApplication::primaryScreen()->geometry().height() >= 1024, "needs the tall offscreen screen");
  Fixture f;
  QScrollArea* area = f.form->Controls().scrollArea;
  if (screenHeight != 0) FitWindowToScreen(f.form.get(), area, screenHeight);
  QVERIFY(f.Show());
  QCOMPARE(area->verticalScrollBar()->isVisible(), scrolls);
  QCOMPARE(testing::CutOnTheRight(area), QStringList());
  QVERIFY(area->viewport()->width() >= f.form->Controls().TeGroupBox1->minimumWidth());
  if (!scrolls) QVERIFY(area->viewport()->height() >= f.form->Controls().TeGroupBox1->sizeHint().height());
}

// The port panel takes the room the others leave: the device panel shows
// whole its widest texts, the baud panel its own, and a long path is elided
// in the middle with the whole of it as the tooltip.
void TestMainWindow::portPanelLeavesTheOthersWhole_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<bool>("elided");
  QTest::newRow("62 characters") << kLongPath << true;
  QTest::newRow("short path") << QStringLiteral("/dev/ttyS0") << false;
}

void TestMainWindow::portPanelLeavesTheOthersWhole() {
  QFETCH(QString, path);
  QFETCH(bool, elided);
  QCOMPARE(kLongPath.size(), 62);
  Fixture f;
  ConnectionSettings& c = f.form->Connection();
  auto* port = static_cast<StatusBarPanel*>(c.StatusPanel[0]);
  const auto notWhole = [&c, port] {
    QCoreApplication::processEvents();
    return testing::PanelsNotWhole(c.StatusBar1, port);
  };
  // Picked before the window shows, as at start-up.
  f.UsePort(path);
  QVERIFY(f.Show());
  QCOMPARE(port->text(), path);
  QCOMPARE(port->toolTip(), path);
  QCOMPARE(notWhole(), QStringList());

  // The widest texts: the PC at 57600, the device moved to 57600 (the
  // question answered with Ok, not Yes), then an address typed.
  c.BR[7]->trigger();
  QCOMPARE(c.StatusPanel[1]->text(), QStringLiteral("BaudRate = 57600"));
  QCOMPARE(notWhole(), QStringList());
  f.form->Link().frame[5] = 8;
  f.form->Link().receivedCount = 8;  // a whole echo
  c.BaudReplyHandler();
  QCOMPARE(c.StatusPanel[2]->text(), QStringLiteral("DEVICE : А = 247; Baud = 57600"));
  QCOMPARE(notWhole(), QStringList());
  QTest::keyClick(c.TeSpinEdit1, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(c.TeSpinEdit1, QStringLiteral("5"));
  QTest::keyClick(c.TeSpinEdit1, Qt::Key_Return);
  QCOMPARE(c.StatusPanel[2]->text(), QStringLiteral("DEVICE : A = 005; Baud = 57600;"));
  QCOMPARE(notWhole(), QStringList());

  QVERIFY(port->width() >= 50);
  const QString shown = port->ShownText();
  QVERIFY(port->fontMetrics().horizontalAdvance(shown) <= port->contentsRect().width());
  if (elided) {
    QVERIFY2(shown.contains(QChar(0x2026)) && shown.startsWith(path.left(2)) && shown.endsWith(path.right(1)),
             qPrintable(shown));
  } else {
    QCOMPARE(shown, path);
  }
  QCOMPARE(port->text(), path);
  QCOMPARE(port->toolTip(), path);
}

// A port that cannot be opened: the log keeps its line, and the port panel's
// tooltip tells the operating system's reason until a transaction opens the
// port.
void TestMainWindow::openFailureShowsWhy_data() {
  QTest::addColumn<QString>("cause");
  QTest::addColumn<QString>("reason");
  QTest::newRow("missing") << "missing"
                           << "No such file or directory";
  QTest::newRow("busy") << "busy"
                        << "busy: another program has the port open";
  QTest::newRow("permission") << "permission"
                              << "Permission denied: add your user to the group dialout and log in again";
}

void TestMainWindow::openFailureShowsWhy() {
  QFETCH(QString, cause);
  QFETCH(QString, reason);
  Fixture f;
  QVERIFY(f.Show());
  ConnectionSettings& c = f.form->Connection();
  testing::PtyDevice line;  // a terminal that opens; nothing answers on it
  const QString path = cause == "missing" ? QString::fromLatin1(kNoPort) : line.Path();
  f.UsePort(path);

  TComPort otherProgram;
  struct stat found {};
  QCOMPARE(stat(line.Path().toLocal8Bit().constData(), &found), 0);
  if (cause == "busy") {
    otherProgram.SetPort(path.toStdString());
    otherProgram.OpenPort();
  }
  bool requested = false;
  if (cause == "permission") {
    QCOMPARE(chmod(path.toLocal8Bit().constData(), 0), 0);
    testing::DacCapabilitiesDropped asUser;
    if (asUser.ok()) {
      QTest::mouseClick(f.Button("TeButton5"), Qt::LeftButton);
      requested = true;
    }
    (void)chmod(path.toLocal8Bit().constData(), found.st_mode & 07777);
    if (!requested)
      QSKIP(qPrintable(QStringLiteral("cannot drop capabilities: ") + QString::fromStdString(asUser.error())));
  } else {
    QTest::mouseClick(f.Button("TeButton5"), Qt::LeftButton);
  }
  QCOMPARE(f.form->Link().Log().Lines().last(), kLinePortError + path);
  QCOMPARE(c.StatusPanel[0]->toolTip(), path + QLatin1Char('\n') + reason);

  // A reason belongs to its port; the next transaction that opens the port
  // clears it.
  if (cause == "missing") {
    f.UsePort(line.Path());
    QCOMPARE(c.StatusPanel[0]->toolTip(), line.Path());
    QVERIFY(f.RequestAndWait());
    f.UsePort(path);
  } else {
    otherProgram.ClosePort();
    QVERIFY(f.RequestAndWait());
    QCOMPARE(f.form->Link().Log().Lines().last(), kLineTimeOut);
  }
  QCOMPARE(c.StatusPanel[0]->toolTip(), path);
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
