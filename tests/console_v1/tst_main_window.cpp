// The telvar_105 window end to end: the real window offscreen, its real
// serial port on a pseudo-terminal, and telvar_sim playing the devices.
#include <memory>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

#include "console_v1/main_window.h"
#include "search/bus_search.h"
#include "serial/connection_settings.h"
#include "tests/sim/sim_process.h"
#include "widgets/message_boxes.h"
#include "widgets/status_grid.h"

using namespace telvar;
using namespace telvar::v1;

namespace {

const QString kStatusRequest = QStringLiteral("F7 03 00 00 00 0C 51 59");

// The window on the simulator's line, with everything a test reaches for.
struct Bench {
  SimProcess sim;
  std::unique_ptr<TForm1> form;

  bool Start(const QStringList& simArgs) {
    if (!sim.start(simArgs)) {
      qWarning() << sim.error();
      return false;
    }
    form = std::make_unique<TForm1>();
    const QString path = sim.link();
    form->Connection().platformPortList = [path] {
      PlatformPortList list;
      list.opened = true;
      list.ports = {path};
      return list;
    };
    form->Connection().TeMenuBar1MouseDown();
    return QString::fromStdString(form->ComPort1().Port()) == path;
  }

  template <typename T>
  T* Find(const char* name) const {
    return form->findChild<T*>(QString::fromLatin1(name));
  }
  QPushButton* Button(const char* name) const { return Find<QPushButton>(name); }
  QRadioButton* Radio(const char* name) const { return Find<QRadioButton>(name); }
  StatusGrid* Grid() const { return Find<StatusGrid>("StatusGrid"); }
  QStringList LogLines() const { return form->Link().Log().Lines(); }
  QString LastLogLine() const { return LogLines().value(LogLines().size() - 1); }

  QStringList Requests() const {
    QStringList requests;
    for (const SimLogLine& line : sim.log()) requests << line.request;
    return requests;
  }

  // Clicks and waits for the end of the transaction the click starts.
  bool ClickAndWait(QAbstractButton* button, int timeoutMs = 2000) {
    QSignalSpy ended(&form->Link(), &BusLink::transactionEnded);
    button->click();
    return ended.wait(timeoutMs);
  }
};

}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void startupState_data();
  void startupState();
  void statusBlock_data();
  void statusBlock();
  void oneLoopAfterTwoLoops();
  void rejectedBlockKeepsGrid();
  void commands_data();
  void commands();
  void resistanceWrittenReadsBack();
  void readTimeout_data();
  void readTimeout();
  void cyclicPoll();
  void parkedClick_data();
  void parkedClick();
  void searchFindsSecondGeneration();
  void searchEndsAfter248();
  void searchDuringPoll();
  void addressStaysInRange_data();
  void addressStaysInRange();
};

void TestMainWindow::initTestCase() {
  // Message boxes would block an offscreen run; every one is answered Yes.
  SetDialogHook([](QMessageBox::Icon, const QString&, QMessageBox::StandardButtons buttons) {
    return buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
  });
}

void TestMainWindow::startupState_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("text");
  QTest::newRow("caption") << "TForm1"
                           << "ТЕЛВАР (MODBUS-RTU)   V1.05_2014";
  QTest::newRow("TeGroupBox3") << "TeGroupBox3"
                               << "  ПОГОННОЕ СОПРОТИВЛЕНИЕ  ";
  QTest::newRow("TeGroupBox6") << "TeGroupBox6"
                               << "  ЛОГИКА РАБОТЫ ВЫХОДОВ \"ПЦН-НОРМА\" В РЕЖИМЕ <ТРЕВОГА>  ";
  QTest::newRow("TeGroupBox4") << "TeGroupBox4"
                               << "  СТАТУС  ";
  QTest::newRow("A0_Button") << "A0_Button"
                             << "   ШС1";
  QTest::newRow("A1_Button") << "A1_Button"
                             << "   ШС2";
  QTest::newRow("TeLabel8") << "TeLabel8"
                            << "ОМ/М";
  QTest::newRow("TeButton2") << "TeButton2"
                             << "ЗАПИСАТЬ";
  QTest::newRow("TeCheckBox1") << "TeCheckBox1"
                               << "В ЦИКЛЕ";
  QTest::newRow("TeButton5") << "TeButton5"
                             << "&ЗАПРОС ПАРАМЕТРОВ";
  QTest::newRow("TeButton3") << "TeButton3"
                             << "СБРОС ТРЕВОГИ";
  QTest::newRow("TeLabel5") << "TeLabel5"
                            << "АДРЕС ПРИБОРА - 247";
  QTest::newRow("TeMemo1") << "TeMemo1"
                           << "TX :\nRX :";
}

void TestMainWindow::startupState() {
  QFETCH(QString, name);
  QFETCH(QString, text);
  TForm1 form;
  QObject* control = name == "TForm1" ? &form : form.findChild<QObject*>(name);
  QVERIFY2(control, qPrintable(name));
  QString shown;
  if (auto* w = qobject_cast<QGroupBox*>(control))
    shown = w->title();
  else if (auto* b = qobject_cast<QAbstractButton*>(control))
    shown = b->text();
  else if (auto* l = qobject_cast<QLabel*>(control))
    shown = l->text();
  else if (auto* m = qobject_cast<QPlainTextEdit*>(control))
    shown = m->toPlainText();
  else
    shown = form.windowTitle();
  QCOMPARE(shown, text);

  // What does not fit a caption: limits, defaults and the log's look.
  auto* spin = form.findChild<QDoubleSpinBox*>("TeSpinEdit3");
  QCOMPARE(spin->value(), 0.620);
  QCOMPARE(spin->minimum(), 0.095);
  QCOMPARE(spin->maximum(), 1.0);
  QCOMPARE(spin->decimals(), 3);
  QVERIFY(form.findChild<QRadioButton*>("A0_Button")->isChecked());
  for (const char* logic : {"B0_Button", "B1_Button", "C0_Button", "C1_Button"}) {
    QVERIFY(!form.findChild<QRadioButton*>(logic)->isChecked());
  }
  QVERIFY(!form.findChild<QCheckBox*>("TeCheckBox1")->isChecked());
  auto* memo = form.findChild<QPlainTextEdit*>("TeMemo1");
  QVERIFY(memo->isReadOnly());
  QCOMPARE(memo->font().family(), QStringLiteral("Courier New"));
  QCOMPARE(memo->font().pixelSize(), 11);
  QCOMPARE(memo->palette().color(QPalette::Text), QColor(0, 0, 128));
  auto* progress = form.findChild<QProgressBar*>("TeProgressBar1");
  QVERIFY(progress->isHidden());
  QCOMPARE(progress->minimum(), 1);
  QCOMPARE(progress->maximum(), 247);
  auto* grid = form.findChild<StatusGrid*>("StatusGrid");
  QCOMPARE(grid->rowCount(), 6);
  QCOMPARE(grid->Cell(0, 2), QStringLiteral("  ШС1 : СТАТУС"));
  QCOMPARE(grid->Cell(0, 5), QStringLiteral("  ШС2 : ПОГОННОЕ R"));
  QCOMPARE(grid->Cell(1, 0), QString());
  QCOMPARE(int(form.Link().deviceAddress), 247);
  QCOMPARE(int(form.Link().baudIndex), 3);
}

void TestMainWindow::statusBlock_data() {
  QTest::addColumn<QString>("device");
  QTest::addColumn<QStringList>("registers");
  QTest::addColumn<QStringList>("values");
  QTest::addColumn<QString>("logic");  // B0 B1 C0 C1 as 1 (selected) or 0
  QTest::newRow("ТЕЛВАР-2(EX) as it leaves the bench")
      << "247:3" << QStringList{}
      << QStringList{"    ТЕЛВАР-2(EX)", "    С ФИКСАЦИЕЙ ТРЕВОГИ", "    НОРМА", "    НОРМА", "    0.620", "    0.500"}
      << "1001";
  QTest::newRow("ТЕЛВАР-2(EX), open circuit and alarm")
      << "247:3" << QStringList{"3=0x0208", "5=65535", "11=0x0201", "9=0.095"}
      << QStringList{"    ТЕЛВАР-2(EX)", "    БЕЗ ФИКСАЦИИ ТРЕВОГИ",
                     "    ОБРЫВ",        "    ТРЕВОГА :  L = 65535м",
                     "    0.620",        "    0.095"}
      << "0110";
  QTest::newRow("ТЕЛВАР-1(EX) in alarm, output logic 0x02")
      << "247:4" << QStringList{"3=0x0002", "4=150", "11=0x0200"}
      << QStringList{"    ТЕЛВАР-1(EX)", "    С ФИКСАЦИЕЙ ТРЕВОГИ", "    ТРЕВОГА :  L = 0150м", "    0.620", "", ""}
      << "0100";
}

void TestMainWindow::statusBlock() {
  QFETCH(QString, device);
  QFETCH(QStringList, registers);
  QFETCH(QStringList, values);
  QFETCH(QString, logic);
  Bench bench;
  QString deviceArg = device;
  if (!registers.isEmpty()) {
    // The register file must exist before the simulator starts.
    deviceArg += ':' + bench.sim.writeFile(QStringLiteral("regs.txt"), registers.join('\n').toUtf8());
  }
  QVERIFY(bench.Start({"--device", deviceArg}));
  QVERIFY(bench.ClickAndWait(bench.Button("TeButton5")));

  QCOMPARE(bench.LastLogLine(), kLineOk);
  for (int row = 0; row < 6; ++row) QCOMPARE(bench.Grid()->Cell(1, row), values[row]);
  const char* logicButtons[4] = {"B0_Button", "B1_Button", "C0_Button", "C1_Button"};
  for (int i = 0; i < 4; ++i) {
    QCOMPARE(bench.Radio(logicButtons[i])->isChecked(), logic[i] == '1');
  }
  // Selecting the buttons ran their handlers, and they wrote nothing back:
  // the bus saw the status request only.
  QTest::qWait(100);
  QCOMPARE(bench.Requests(), QStringList{kStatusRequest});
}

void TestMainWindow::oneLoopAfterTwoLoops() {
  Bench bench;
  QVERIFY(bench.Start({"--device", "247:3", "--device", "5:4"}));
  QVERIFY(bench.ClickAndWait(bench.Button("TeButton5")));
  QVERIFY(bench.Radio("C1_Button")->isChecked());
  bench.Find<QSpinBox>("TeSpinEdit1")->setValue(5);
  QVERIFY(bench.ClickAndWait(bench.Button("TeButton5")));

  QCOMPARE(bench.Grid()->Cell(1, 0), QStringLiteral("    ТЕЛВАР-1(EX)"));
  QCOMPARE(bench.Grid()->Cell(0, 3), QStringLiteral("  ШС1 :  ПОГОННОЕ R"));
  QCOMPARE(bench.Grid()->Cell(1, 3), QStringLiteral("    0.620"));
  for (int row : {4, 5}) {
    QCOMPARE(bench.Grid()->Cell(0, row), QString());
    QCOMPARE(bench.Grid()->Cell(1, row), QString());
  }
  QVERIFY(bench.Radio("B0_Button")->isChecked());
  QVERIFY(!bench.Radio("C0_Button")->isChecked());
  QVERIFY(!bench.Radio("C1_Button")->isChecked());
  QTest::qWait(100);
  QCOMPARE(bench.Requests().size(), 2);
}

void TestMainWindow::rejectedBlockKeepsGrid() {
  // The simulator cannot send a block whose length disagrees with its byte
  // count: the decoder is given one through the link as a short read leaves it.
  TForm1 form;
  BusLink& link = form.Link();
  link.frame = {};
  link.frame[0] = 247;
  link.frame[1] = 3;
  link.frame[2] = 24;
  link.frame[4] = 3;  // model 3
  AppendCrc(link.frame, 27);
  auto* grid = form.findChild<StatusGrid*>("StatusGrid");

  link.receivedCount = 27;  // two bytes short of 24 + 5
  QCOMPARE(int(link.hooks.statusDecoder()), int(kReplyRejected));
  QCOMPARE(link.Log().Lines().last(), kLineBadLength);
  QCOMPARE(grid->Cell(1, 0), QString());
  QCOMPARE(grid->Cell(0, 2), QStringLiteral("  ШС1 : СТАТУС"));

  link.receivedCount = 29;
  QCOMPARE(int(link.hooks.statusDecoder()), int(kReplyStatus));
  QCOMPARE(grid->Cell(1, 0), QStringLiteral("    ТЕЛВАР-2(EX)"));
}

void TestMainWindow::commands_data() {
  QTest::addColumn<QString>("action");
  QTest::addColumn<QString>("request");
  QTest::newRow("ЗАПИСАТЬ for ШС1 at 0.62") << "TeButton2"
                                            << "F7 10 00 07 00 02 04 3F 1E B8 52 30 2D";
  QTest::newRow("ЗАПИСАТЬ for ШС2") << "A1_Button TeButton2"
                                    << "F7 10 00 09 00 02 04 3F 1E B8 52 B1 A1";
  QTest::newRow("СБРОС ТРЕВОГИ") << "TeButton3"
                                 << "F7 06 00 0C AA AA A3 80";
  QTest::newRow("B0 while C0 is selected") << "=C0_Button B0_Button"
                                           << "F7 06 00 0B 03 00 EC 6E";
  QTest::newRow("B1 while no ШС2 button is selected") << "B1_Button"
                                                      << "F7 06 00 0B 00 00 EC 9E";
  QTest::newRow("C0 while B1 is selected") << "=B1_Button C0_Button"
                                           << "F7 06 00 0B 02 00 ED FE";
  QTest::newRow("C1 while B0 is selected") << "=B0_Button C1_Button"
                                           << "F7 06 00 0B 01 00 ED 0E";
}

void TestMainWindow::commands() {
  QFETCH(QString, action);
  QFETCH(QString, request);
  Bench bench;
  QVERIFY(bench.Start({"--device", "247:3"}));
  QStringList steps = action.split(' ');
  const QString last = steps.takeLast();
  for (const QString& step : steps) {
    // "=NAME": the button is selected beforehand, without its handler.
    if (step.startsWith('=')) {
      auto* radio = bench.form->findChild<QRadioButton*>(step.mid(1));
      const QSignalBlocker quiet(radio);
      radio->setChecked(true);
    } else {
      bench.form->findChild<QRadioButton*>(step)->setChecked(true);
    }
  }
  QVERIFY(bench.ClickAndWait(bench.form->findChild<QAbstractButton*>(last)));

  QCOMPARE(bench.Requests(), QStringList{request});
  QCOMPARE(bench.sim.log().first().outcome, QStringLiteral("ok"));
  QCOMPARE(bench.LastLogLine(), kLineOk);
}

void TestMainWindow::resistanceWrittenReadsBack() {
  // Written most significant byte first, read back in the device's order.
  Bench bench;
  QVERIFY(bench.Start({"--device", "247:3"}));
  bench.Radio("A1_Button")->setChecked(true);
  bench.Find<QDoubleSpinBox>("TeSpinEdit3")->setValue(0.75);
  QVERIFY(bench.ClickAndWait(bench.Button("TeButton2")));
  QVERIFY(bench.ClickAndWait(bench.Button("TeButton5")));
  QCOMPARE(bench.Grid()->Cell(1, 4), QStringLiteral("    0.620"));
  QCOMPARE(bench.Grid()->Cell(1, 5), QStringLiteral("    0.750"));
}

void TestMainWindow::readTimeout_data() {
  QTest::addColumn<int>("baudIndex");
  QTest::addColumn<int>("timeoutMs");
  QTest::newRow("1200 baud") << 0 << 3000;
  QTest::newRow("9600 baud") << 3 << 350;
}

void TestMainWindow::readTimeout() {
  QFETCH(int, baudIndex);
  QFETCH(int, timeoutMs);
  Bench bench;
  QVERIFY(bench.Start({"--device", "247:3", "--fault", "247:no-reply"}));
  // The device's baud index as a baud write would leave it, and the PC's rate.
  bench.form->Link().baudIndex = uint8_t(baudIndex);
  bench.form->Connection().BR_Click(baudIndex);

  QElapsedTimer clock;
  clock.start();
  QVERIFY(bench.ClickAndWait(bench.Button("TeButton5"), timeoutMs + 2000));
  const qint64 elapsed = clock.elapsed();
  QCOMPARE(bench.LastLogLine(), kLineTimeOut);
  QVERIFY2(elapsed >= timeoutMs && elapsed < timeoutMs + 300, qPrintable(QString::number(elapsed)));
}

void TestMainWindow::cyclicPoll() {
  Bench bench;
  QVERIFY(bench.Start({"--device", "247:4"}));
  auto* cyclic = bench.Find<QCheckBox>("TeCheckBox1");
  auto* button = bench.Button("TeButton5");
  cyclic->setChecked(true);
  QCOMPARE(bench.Requests().size(), 0);  // ticking alone starts nothing
  button->click();
  QCOMPARE(button->text(), QStringLiteral("СТОП"));
  QVERIFY(!cyclic->isEnabled());
  QTRY_COMPARE_WITH_TIMEOUT(bench.Requests().size(), 3, 2500);
  button->click();
  QCOMPARE(button->text(), QStringLiteral("ЗАПРОС ПАРАМЕТРОВ"));
  QVERIFY(cyclic->isEnabled());

  const QList<SimLogLine> log = bench.sim.log();
  for (int i = 1; i < log.size(); ++i) {
    // 500 ms after the previous transaction ended (reply plus 5 ms quiet).
    const double gap = log[i].time.toDouble() - log[i - 1].time.toDouble();
    QVERIFY2(gap > 0.49 && gap < 0.8, qPrintable(QString::number(gap)));
    QCOMPARE(log[i].request, kStatusRequest);
  }
  QCOMPARE(bench.Grid()->Cell(1, 0), QStringLiteral("    ТЕЛВАР-1(EX)"));
  QTest::qWait(700);
  QCOMPARE(bench.Requests().size(), 3);  // stopped: no further request
}

void TestMainWindow::parkedClick_data() {
  QTest::addColumn<QString>("startedMeanwhile");
  QTest::addColumn<bool>("resetSent");
  QTest::newRow("nothing started: sent after the reply") << "" << true;
  QTest::newRow("cyclic poll started: discarded") << "poll" << false;
  QTest::newRow("search started: discarded") << "search" << false;
}

void TestMainWindow::parkedClick() {
  QFETCH(QString, startedMeanwhile);
  QFETCH(bool, resetSent);
  Bench bench;
  // A slow device keeps the status request outstanding for a while.
  QVERIFY(bench.Start({"--device", "247:3", "--turnaround-ms", "150"}));
  TForm1& form = *bench.form;
  bench.Button("TeButton5")->click();
  QVERIFY(form.Link().TransactionOutstanding());
  bench.Button("TeButton3")->click();  // parked even while idle
  QCOMPARE(int(form.Link().deferredClick), 1);

  if (startedMeanwhile == "poll") {
    bench.Find<QCheckBox>("TeCheckBox1")->setChecked(true);
    bench.Button("TeButton5")->click();
  } else if (startedMeanwhile == "search") {
    form.Search().CustomItem5Click();
    form.Link().deviceAddress = 246;  // the next step asks the device at 247
  }
  QTRY_VERIFY_WITH_TIMEOUT(bench.Requests().size() >= 2, 2000);
  QTest::qWait(400);

  const QStringList requests = bench.Requests();
  QCOMPARE(requests.first(), kStatusRequest);
  const QString reset = QStringLiteral("F7 06 00 0C AA AA A3 80");
  QCOMPARE(requests.contains(reset), resetSent);
  if (resetSent) {
    // After the status reply, not across it: the block was decoded.
    QCOMPARE(requests, (QStringList{kStatusRequest, reset}));
    QCOMPARE(bench.Grid()->Cell(1, 0), QStringLiteral("    ТЕЛВАР-2(EX)"));
  }
}

void TestMainWindow::searchFindsSecondGeneration() {
  Bench bench;
  QVERIFY(bench.Start({"--device", "3:20"}));
  TForm1& form = *bench.form;
  form.Search().CustomItem5Click();
  QTRY_COMPARE_WITH_TIMEOUT(int(form.Link().sequencingState), 0, 3000);

  // The unknown-model line of this program spells С in Cyrillic.
  const QString unknown = QStringLiteral("   : ОБНАРУЖЕН ПРИБОР \u0421 НЕИЗВЕСТНЫМ ID ПО АДРЕСУ 003");
  const QStringList lines = bench.LogLines();
  QVERIFY2(lines.contains(unknown), qPrintable(lines.join('|')));
  QCOMPARE(lines.last(), kLineOk);
  QCOMPARE(int(form.Link().deviceAddress), 3);
  QCOMPARE(bench.Find<QSpinBox>("TeSpinEdit1")->value(), 3);
  QCOMPARE(bench.Find<QLabel>("TeLabel5")->text(), QStringLiteral("АДРЕС ПРИБОРА - 003"));
  QVERIFY(bench.Find<QProgressBar>("TeProgressBar1")->isHidden());
  QCOMPARE(bench.Requests().size(), 3);
}

void TestMainWindow::searchEndsAfter248() {
  Bench bench;
  QVERIFY(bench.Start({"--device", "5:3"}));
  TForm1& form = *bench.form;
  form.Search().DelayClick(0);  // 100 ms
  form.Search().CustomItem5Click();
  form.Link().deviceAddress = 245;  // skip the addresses nobody asks about here
  QTRY_VERIFY_WITH_TIMEOUT(bench.Requests().size() >= 1, 1000);
  // Commands do nothing while the search runs.
  bench.Button("TeButton3")->click();
  bench.Button("TeButton2")->click();
  bench.Radio("B0_Button")->setChecked(true);
  bench.Button("TeButton5")->click();
  QTRY_COMPARE_WITH_TIMEOUT(int(form.Link().sequencingState), 0, 3000);
  QTest::qWait(200);

  QStringList addresses;
  for (const QString& request : bench.Requests()) addresses << request.left(2);
  QCOMPARE(addresses, (QStringList{"F6", "F7", "F8"}));
  QCOMPARE(bench.LastLogLine(), QStringLiteral("   : ПРИБОР <ТЕЛВАР-1(2)> НЕ ОБНАРУЖЕН..."));
  QCOMPARE(int(form.Link().deviceAddress), 247);
  QCOMPARE(bench.Find<QSpinBox>("TeSpinEdit1")->value(), 247);
  QVERIFY(!bench.LogLines().contains(kLineTimeOut));
}

void TestMainWindow::searchDuringPoll() {
  Bench bench;
  QVERIFY(bench.Start({"--device", "247:3"}));
  TForm1& form = *bench.form;
  auto* button = bench.Button("TeButton5");
  bench.Find<QCheckBox>("TeCheckBox1")->setChecked(true);
  button->click();
  QTRY_VERIFY_WITH_TIMEOUT(bench.Requests().size() >= 1, 1000);

  form.Search().CustomItem5Click();
  QTRY_COMPARE(button->text(), QStringLiteral("ЗАПРОС ПАРАМЕТРОВ"));
  QCOMPARE(int(form.Link().sequencingState), int(kStateSearch));
  button->click();  // ignored while searching
  QCOMPARE(int(form.Link().sequencingState), int(kStateSearch));
  form.Search().CustomItem5Click();  // stop

  // "В ЦИКЛЕ" is still ticked: the next press starts the poll again.
  button->click();
  QCOMPARE(int(form.Link().sequencingState), int(kStateCyclicPoll));
  QCOMPARE(button->text(), QStringLiteral("СТОП"));
  button->click();
  QCOMPARE(button->text(), QStringLiteral("ЗАПРОС ПАРАМЕТРОВ"));
}

void TestMainWindow::addressStaysInRange_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<int>("address");
  // A typed number beyond a bound becomes that bound.
  QTest::newRow("0") << "0" << 1;
  QTest::newRow("248") << "248" << 247;
  QTest::newRow("999") << "999" << 247;
  QTest::newRow("-5") << "-5" << 1;
  QTest::newRow("5") << "5" << 5;
}

void TestMainWindow::addressStaysInRange() {
  QFETCH(QString, typed);
  QFETCH(int, address);
  TForm1 form;
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  for (const char* name : {"TeSpinEdit1", "TeSpinEdit2"}) {
    auto* spin = form.findChild<QSpinBox*>(name);
    spin->setFocus();
    spin->selectAll();
    QTest::keyClicks(spin, typed);
    QTest::keyClick(spin, Qt::Key_Return);
    spin->clearFocus();
    QVERIFY2(spin->value() >= 1 && spin->value() <= 247, name);
  }
  const int deviceAddress = form.Link().deviceAddress;
  QCOMPARE(deviceAddress, address);
  QCOMPARE(form.findChild<QLabel*>("TeLabel5")->text(),
           QStringLiteral("АДРЕС ПРИБОРА - ") + ZeroPadded(uint16_t(address), 3));
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
