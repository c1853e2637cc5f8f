// The window of telvar_v210 against the device simulator over a
// pseudo-terminal, through the real serial port component: the status
// request, every command's frame, the two-step sequences, the address and
// baud-rate writes.
#include <QButtonGroup>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include "link/traffic_log.h"
#include "serial/tty_class_list.h"
#include "tests/console_v2/sim_line.h"
#include "widgets/status_grid.h"

using namespace telvar;
using namespace v2test;

using Action = std::function<void(Window&)>;
Q_DECLARE_METATYPE(Action)

namespace {

const QString kReadStatus1 = QStringLiteral("01 03 00 00 00 1E C5 C2");
const QString kUnlock1 = QStringLiteral("01 06 00 83 5E 2B 00 5D");

// A window on a fresh simulator with a ТЕЛВАР-2 at address 1.
struct Bench {
  explicit Bench(const QStringList& devices = {QStringLiteral("--device"), QStringLiteral("1:20")})
      : sim(devices), window(sim.Path(), sim.Dir()) {
    window.form.Connection().TeSpinEdit1->setValue(1);
  }
  SimLine sim;
  Window window;
};

}  // namespace

class TestEndToEndCommands : public QObject {
  Q_OBJECT
 private slots:
  void workedExampleDecodes();
  void commandFrames_data();
  void commandFrames();
  void modelPickWaitsForOutstandingTransaction();
  void addressWrite();
  void baudWrite_data();
  void baudWrite();
  void portListRebuiltFromFileOnMenuBarPress();

 private:
  Dialogs dialogs_;
};

void TestEndToEndCommands::workedExampleDecodes() {
  Bench b;
  QVERIFY(b.sim.Ready());
  Window& w = b.window;
  QTest::mouseClick(w.Button("TeButton5"), Qt::LeftButton);
  QVERIFY(w.WaitForEnds(1));

  QCOMPARE(b.sim.Requests(), QStringList{kReadStatus1});
  QCOMPARE(w.Memo(), (QStringList{
                         "TX : 01 03 00 00 00 1E C5 C2 ",
                         "RX : 01 03 3C 00 14 00 01 00 04 00 03 00 05 00 00 00 03 ",
                         "     00 06 00 00 01 25 00 00 00 00 3F 1E B8 52 3F 00 00 ",
                         "     00 3F 1E B8 52 00 00 00 FF 00 00 00 FF 00 00 00 00 ",
                         "     00 FF 03 E8 01 F4 00 00 00 00 00 FF 4F 63 ",
                         "   : ОК.",
                     }));
  auto* grid = w.Find<StatusGrid>("StatusGrid");
  const QStringList labels{
      "  ТИП", "  РЕЖИМ РАБОТЫ", "  ШС1 :  СТАТУС", "  ШС2 :  СТАТУС", "  ИП1 :  СТАТУС", "  ИП2 :  СТАТУС", ""};
  const QStringList values{"    ТЕЛВАР-2", "    С ФИКСАЦИЕЙ ТРЕВОГИ", "    НОРМА", "    ТРЕВОГА :  L = 0293м",
                           "    НОРМА",    "    НЕИСПРАВНОСТЬ",       ""};
  for (int row = 0; row < 7; ++row) {
    QCOMPARE(grid->Cell(0, row), labels[row]);
    QCOMPARE(grid->Cell(1, row), values[row]);
  }
  QCOMPARE(w.Find<QComboBox>("TeSComboBox2")->currentIndex(), 1);
  QVERIFY(w.Button("B0_Button")->isChecked());
  QVERIFY(w.Button("C1_Button")->isChecked());
  QVERIFY(!w.Button("D0_Button")->isChecked() && !w.Button("D1_Button")->isChecked());
  QCOMPARE(w.Find<QDoubleSpinBox>("SEdit1")->text(), QStringLiteral("0.620"));
  QCOMPARE(w.Find<QDoubleSpinBox>("SEdit2")->text(), QStringLiteral("0.500"));
  QCOMPARE(w.Find<QDoubleSpinBox>("SEdit3")->text(), QStringLiteral("0.620"));
  QCOMPARE(w.Find<QSpinBox>("SEdit4")->value(), 1000);
  QCOMPARE(w.Find<QSpinBox>("SEdit5")->value(), 500);
  QCOMPARE(w.Find<QSpinBox>("SEdit6")->value(), 0);
  QVERIFY(w.Button("B1_CBox")->isChecked());
  QVERIFY(!w.Button("B0_CBox")->isChecked());
  QVERIFY(w.Button("B2_CBox")->isChecked());
  // The decoded values went nowhere: the status request is all the
  // simulator saw, and no model change started.
  QTest::qWait(100);
  QCOMPARE(b.sim.Requests(), QStringList{kReadStatus1});
  QCOMPARE(w.Link().sequencingState, uint8_t(kStateIdle));
}

void TestEndToEndCommands::commandFrames_data() {
  QTest::addColumn<Action>("setup");
  QTest::addColumn<Action>("action");
  QTest::addColumn<QStringList>("requests");
  QTest::addColumn<QString>("lastLine");

  const Action none = [](Window&) {};
  const auto click = [](const char* name) {
    return Action([name](Window& w) { QTest::mouseClick(w.Button(name), Qt::LeftButton); });
  };
  const auto quietly = [](const char* name, bool checked) {
    return Action([name, checked](Window& w) {
      const QSignalBlocker block(w.Button(name));
      w.Button(name)->setChecked(checked);
    });
  };
  const auto chooseLoop = [](const char* loopButton, const char* edit, double value) {
    return Action([=](Window& w) {
      w.Button(loopButton)->setChecked(true);
      if (auto* lengthEdit = w.Find<QSpinBox>(edit)) lengthEdit->setValue(int(value));
      if (auto* resistanceEdit = w.Find<QDoubleSpinBox>(edit)) resistanceEdit->setValue(value);
    });
  };

  QTest::newRow("alarm reset") << none << click("TeButton3") << QStringList{"01 06 00 17 AA 55 87 51"} << kLineOk;
  QTest::newRow("sound reset") << none << click("TeButton4") << QStringList{"01 06 00 16 A5 5A 93 65"} << kLineOk;
  // Devices do not answer a broadcast.
  QTest::newRow("sound reset to all") << quietly("A1_CBox", true) << click("TeButton4")
                                      << QStringList{"00 06 00 00 A5 5A 73 70"} << kLineTimeOut;
  QTest::newRow("НОРМА1 closed") << none << click("B0_Button") << QStringList{"01 06 00 12 00 00 29 CF"} << kLineOk;
  QTest::newRow("НОРМА1 open") << none << click("B1_Button") << QStringList{"01 06 00 12 00 FF 69 8F"} << kLineOk;
  QTest::newRow("НОРМА2 closed") << quietly("C1_Button", true) << click("C0_Button")
                                 << QStringList{"01 06 00 13 00 00 78 0F"} << kLineOk;
  QTest::newRow("НОРМА3 open") << none << click("D1_Button") << QStringList{"01 06 00 14 00 FF 89 8E"} << kLineOk;
  QTest::newRow("thermal compensation on")
      << none << click("B0_CBox") << QStringList{"01 06 00 1C 00 FF 08 4C"} << kLineOk;
  QTest::newRow("thermal compensation off")
      << quietly("B0_CBox", true) << click("B0_CBox") << QStringList{"01 06 00 1C 00 00 48 0C"} << kLineOk;
  QTest::newRow("fixed cable length on") << none << click("B1_CBox") << QStringList{"01 06 00 18 00 FF 49 8D"}
                                         << kLineOk;
  QTest::newRow("ОРСАН-ПР on") << none << click("B2_CBox") << QStringList{"01 06 00 1D 00 FF 59 8C"} << kLineOk;
  QTest::newRow("cable length ШС2") << chooseLoop("A1_Button", "SEdit5", 1234) << click("TeButton9")
                                    << QStringList{"01 06 00 1A 04 D2 2A 90"} << kLineOk;
  QTest::newRow("cable length ШС1 at its bound") << chooseLoop("A0_Button", "SEdit4", 2500) << click("TeButton9")
                                                 << QStringList{"01 06 00 19 07 D0 5B A1"} << kLineOk;
  QTest::newRow("cable length ШС3, another loop's edit ignored")
      << chooseLoop("A2_Button", "SEdit4", 77) << click("TeButton9") << QStringList{"01 06 00 1B 00 00 F9 CD"}
      << kLineOk;
  QTest::newRow("linear resistance ШС2") << chooseLoop("A1_Button", "SEdit2", 0.62) << click("TeButton10")
                                         << QStringList{"01 10 00 0E 00 02 04 3F 1E B8 52 ED CC"} << kLineOk;
  QTest::newRow("linear resistance ШС3") << chooseLoop("A2_Button", "SEdit3", 0.5) << click("TeButton10")
                                         << QStringList{"01 10 00 10 00 02 04 3F 00 00 00 FE B7"} << kLineOk;
  QTest::newRow("model change to ТЕЛВАР-3")
      << none << Action([](Window& w) { Window::Pick(w.Find<QComboBox>("TeSComboBox2"), 2); })
      << QStringList{kUnlock1, "01 06 00 00 00 15 48 05"} << kLineOk;
  // The calibration group is hidden; its buttons still work when pressed.
  QTest::newRow("calibration ШС2") << none << Action([](Window& w) { w.Button("TeButton7")->click(); })
                                   << QStringList{kUnlock1, "01 06 00 50 00 01 48 1B"} << kLineOk;
}

void TestEndToEndCommands::commandFrames() {
  QFETCH(Action, setup);
  QFETCH(Action, action);
  QFETCH(QStringList, requests);
  QFETCH(QString, lastLine);
  Bench b;
  QVERIFY(b.sim.Ready());
  setup(b.window);
  action(b.window);
  QVERIFY(b.window.WaitForEnds(int(requests.size())));
  QCOMPARE(b.sim.Requests(), requests);
  QCOMPARE(b.window.Memo().first(), QStringLiteral("TX : ") + requests.last() + QLatin1Char(' '));
  QCOMPARE(b.window.Memo().last(), lastLine);
  QCOMPARE(b.window.Link().sequencingState, uint8_t(kStateIdle));
}

// A model pick while a reply is awaited waits for its transaction; the
// status reply that comes meanwhile does not undo the pick.
void TestEndToEndCommands::modelPickWaitsForOutstandingTransaction() {
  Bench b;
  QVERIFY(b.sim.Ready());
  Window& w = b.window;
  QTest::mouseClick(w.Button("TeButton5"), Qt::LeftButton);
  QVERIFY(w.Link().TransactionOutstanding());
  Window::Pick(w.Find<QComboBox>("TeSComboBox2"), 2);
  QCOMPARE(w.Link().deferredClick, uint8_t(1));
  QVERIFY(w.WaitForEnds(3));
  QCOMPARE(b.sim.Requests(), (QStringList{kReadStatus1, kUnlock1, "01 06 00 00 00 15 48 05"}));
  const QList<SimLogLine> lines = b.sim.Lines();
  QVERIFY(lines[1].time.toDouble() - lines[0].time.toDouble() < 0.4);
}

void TestEndToEndCommands::addressWrite() {
  Bench b;
  QVERIFY(b.sim.Ready());
  Window& w = b.window;
  ConnectionSettings& c = w.form.Connection();
  c.TeSpinEdit2->setValue(12);
  QTest::mouseClick(c.TeButton1, Qt::LeftButton);
  QVERIFY(w.WaitForEnds(1));
  QCOMPARE(b.sim.Requests(), QStringList{"01 06 00 01 00 0C D8 0F"});
  QCOMPARE(w.Memo().last(), kLineOk);
  QCOMPARE(w.Link().deviceAddress, uint8_t(12));
  QCOMPARE(c.TeSpinEdit1->value(), 12);
  QCOMPARE(c.TeLabel5->text(), QStringLiteral("АДРЕС ПРИБОРА - 012"));
  QCOMPARE(c.StatusPanel[2]->text(), QStringLiteral("DEVICE : A = 012; Baud = 9600"));

  // The device now answers at its new address.
  QTest::mouseClick(w.Button("TeButton5"), Qt::LeftButton);
  QVERIFY(w.WaitForEnds(1));
  QCOMPARE(b.sim.Requests().last(), QStringLiteral("0C 03 00 00 00 1E C4 DF"));
  QCOMPARE(w.Memo().last(), kLineOk);
}

void TestEndToEndCommands::baudWrite_data() {
  QTest::addColumn<bool>("yes");
  QTest::addColumn<QString>("pcRate");
  QTest::newRow("PC follows") << true << QStringLiteral("BaudRate = 19200");
  QTest::newRow("PC keeps its rate") << false << QStringLiteral("BaudRate = 9600");
}

void TestEndToEndCommands::baudWrite() {
  QFETCH(bool, yes);
  QFETCH(QString, pcRate);
  Bench b;
  QVERIFY(b.sim.Ready());
  Window& w = b.window;
  ConnectionSettings& c = w.form.Connection();
  dialogs_.asked.clear();
  dialogs_.answer = yes ? QMessageBox::Yes : QMessageBox::No;
  Window::Pick(c.TeSComboBox1, 5);
  QVERIFY(w.WaitForEnds(1));
  QCOMPARE(b.sim.Requests(), QStringList{"01 06 00 02 00 06 A8 08"});
  QCOMPARE(dialogs_.asked, QStringList{"Сменить скорость обмена COM-порта ПК?"});
  QCOMPARE(w.Memo().last(), kLineOk);
  QCOMPARE(w.Link().baudIndex, uint8_t(5));
  QCOMPARE(c.StatusPanel[2]->text(), QStringLiteral("DEVICE : А = 1; Baud = 19200"));
  QCOMPARE(c.StatusPanel[1]->text(), pcRate);
  QCOMPARE(c.BR[5]->isChecked(), yes);
  QCOMPARE(c.BR[3]->isChecked(), !yes);
  dialogs_.answer = QMessageBox::Yes;
}

// Pressing the menu bar rebuilds the port list; with no platform ports the
// list comes from "comports.txt", and the port in use stays chosen.
void TestEndToEndCommands::portListRebuiltFromFileOnMenuBarPress() {
  Bench b;
  QVERIFY(b.sim.Ready());
  Window& w = b.window;
  ConnectionSettings& c = w.form.Connection();
  QTemporaryDir emptyTty;
  c.platformPortList = [dir = emptyTty.path()] { return ReadPlatformPortList(dir, dir); };
  QFile list(c.comportsPath);
  QVERIFY(list.open(QIODevice::WriteOnly | QIODevice::Text));
  list.write("COM3\n");
  list.write(b.sim.Path().toLocal8Bit() + "\n");
  list.write("COM4\n");
  list.close();

  w.form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w.form));
  QTest::mousePress(w.form.Controls().TeMenuBar1, Qt::LeftButton, {}, QPoint(2, 2));
  QTest::keyClick(QApplication::activePopupWidget() ? QApplication::activePopupWidget() : &w.form, Qt::Key_Escape);
  QCOMPARE(c.PortEntries(), (QStringList{"COM3", b.sim.Path(), "COM4"}));
  QCOMPARE(c.TickedPortEntry(), 1);
  QCOMPARE(c.StatusPanel[0]->text(), b.sim.Path());
  QTest::mouseClick(w.Button("TeButton5"), Qt::LeftButton);
  QVERIFY(w.WaitForEnds(1));
  QCOMPARE(w.Memo().last(), kLineOk);

  // Without the port in use the first line is taken.
  QVERIFY(list.open(QIODevice::WriteOnly | QIODevice::Text));
  list.write("COM5\nCOM6\n");
  list.close();
  QTest::mousePress(w.form.Controls().TeMenuBar1, Qt::LeftButton, {}, QPoint(2, 2));
  QTest::keyClick(QApplication::activePopupWidget() ? QApplication::activePopupWidget() : &w.form, Qt::Key_Escape);
  QCOMPARE(c.PortEntries(), (QStringList{"COM5", "COM6"}));
  QCOMPARE(c.TickedPortEntry(), 0);
  QCOMPARE(c.StatusPanel[0]->text(), QStringLiteral("COM5"));
}

QTEST_MAIN(TestEndToEndCommands)
#include "tst_end_to_end_commands.moc"
