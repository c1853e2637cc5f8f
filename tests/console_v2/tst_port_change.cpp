// The port in use never changes under a request: a port change asked for
// while a reply is awaited (the ticked entry picked again, another entry
// picked, or a rebuild of the Port menu that selects another entry) takes
// effect when that transaction ends. The window of telvar_v210 against the
// device simulator, whose device answers late.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QSpinBox>
#include <QtTest>

#include "link/traffic_log.h"
#include "search/bus_search.h"
#include "tests/console_v2/sim_line.h"
#include "tests/support/crc.h"

using namespace telvar;
using namespace v2test;

namespace {

QString Hex(std::initializer_list<int> bytes) { return hexText(BytesWithCrc(bytes)); }

QAction* Entry(Window& w, const QString& caption) {
  for (QAction* action : w.form.Connection().PORT1->actions()) {
    if (action->text() == caption) return action;
  }
  return nullptr;
}

// Runs touch once, as soon as the request whose TX line starts with
// txStart is out (the log then ends with its "RX :" placeholder).
void OnRequest(Window& w, QObject* context, const QString& txStart, std::function<void()> touch) {
  auto* memo = w.form.Controls().TeMemo1;
  auto connection = std::make_shared<QMetaObject::Connection>();
  *connection = QObject::connect(memo, &QPlainTextEdit::textChanged, context, [=] {
    const QString text = memo->toPlainText();
    if (!text.startsWith("TX : " + txStart) || !text.endsWith(QStringLiteral("\nRX :"))) return;
    QObject::disconnect(*connection);
    QTimer::singleShot(0, context, touch);
  });
}

// A press on the menu bar beside its menus: the Port list is rebuilt.
void PressMenuBar(Window& w) {
  QMenuBar* bar = w.form.Controls().TeMenuBar1;
  const QPoint beside(bar->width() - 5, bar->height() / 2);
  QTest::mousePress(bar, Qt::LeftButton, {}, beside);
  QTest::mouseRelease(bar, Qt::LeftButton, {}, beside);
}

}  // namespace

class TestPortChange : public QObject {
  Q_OBJECT
 private slots:
  void pickDuringStatusRequest_data();
  void pickDuringStatusRequest();
  void repickDuringSearchStep();
  void rebuildDuringSearchStep();
  void ratePickDuringStatusRequest();

 private:
  Dialogs dialogs_;
};

void TestPortChange::pickDuringStatusRequest_data() {
  QTest::addColumn<bool>("other");
  QTest::newRow("the ticked entry again") << false;
  QTest::newRow("another entry") << true;
}

// The reply comes 300 ms after the request; the pick in between waits for it.
void TestPortChange::pickDuringStatusRequest() {
  QFETCH(bool, other);
  SimLine sim({"--device", "1:20", "--turnaround-ms", "300"});
  QVERIFY(sim.Ready());
  SimLine second({"--device", "1:20"});
  QVERIFY(second.Ready());
  Window w(sim.Path(), sim.Dir());
  QFile list(w.form.Connection().comportsPath);
  QVERIFY(list.open(QIODevice::WriteOnly));
  list.write(sim.Path().toLocal8Bit() + "\n" + second.Path().toLocal8Bit() + "\n");
  list.close();
  PressMenuBar(w);
  QCOMPARE(w.form.Connection().PortEntries(), (QStringList{sim.Path(), second.Path()}));
  QCOMPARE(w.form.Connection().TickedPortEntry(), 0);
  w.form.Connection().TeSpinEdit1->setValue(1);
  TComPort& port = w.form.ComPort1();

  QTest::mouseClick(w.Button("TeButton5"), Qt::LeftButton);
  QVERIFY(w.Link().TransactionOutstanding());
  const uint64_t period = port.OpenPeriod();
  Entry(w, other ? second.Path() : sim.Path())->trigger();
  // The port in use stays open, under its name, for the reply.
  QVERIFY(port.Connected());
  QCOMPARE(port.OpenPeriod(), period);
  QCOMPARE(QString::fromStdString(port.Port()), sim.Path());
  QCOMPARE(w.form.Connection().StatusPanel[0]->text(), sim.Path());

  QVERIFY(w.WaitForEnds(1));
  QCOMPARE(sim.Requests(), QStringList{Hex({1, 3, 0, 0, 0, 30})});
  QCOMPARE(sim.Lines().last().outcome, QStringLiteral("ok"));
  QCOMPARE(w.Memo().last(), kLineOk);
  QVERIFY(!w.Memo().contains(kLineTimeOut));
  // Now the change has taken place.
  const QString chosen = other ? second.Path() : sim.Path();
  QCOMPARE(QString::fromStdString(port.Port()), chosen);
  QCOMPARE(w.form.Connection().StatusPanel[0]->text(), chosen);
  QCOMPARE(w.form.Connection().TickedPortEntry(), other ? 1 : 0);
  QVERIFY(!port.Connected());

  // The next request goes out on the port chosen.
  QTest::mouseClick(w.Button("TeButton5"), Qt::LeftButton);
  QVERIFY(w.WaitForEnds(1, 3000));
  QCOMPARE(w.Memo().last(), kLineOk);
  QCOMPARE((other ? second : sim).Requests().last(), Hex({1, 3, 0, 0, 0, 30}));
}

// During a search the port stays open from step to step: the re-pick (an
// adapter plugged in again) closes it at the end of the step's transaction,
// and the next step opens it afresh. The step's reply is not lost.
void TestPortChange::repickDuringSearchStep() {
  SimLine sim({"--device", "60:20", "--turnaround-ms", "100"});
  QVERIFY(sim.Ready());
  Window w(sim.Path(), sim.Dir());
  TComPort& port = w.form.ComPort1();
  BusSearch& search = w.form.Search();
  search.DelayItem[5]->trigger();  // 350ms
  uint64_t periodAtPick = 0;
  bool stillOpen = false;
  OnRequest(w, this, Hex({59, 3, 0, 0, 0, 1}).left(2), [&] {
    periodAtPick = port.OpenPeriod();
    Entry(w, sim.Path())->trigger();
    stillOpen = port.Connected() && port.OpenPeriod() == periodAtPick;
  });
  search.CustomItem5->trigger();
  w.Link().deviceAddress = 57;
  QTRY_COMPARE_WITH_TIMEOUT(search.CustomItem5->text(), QStringLiteral("Start"), 5000);

  QVERIFY(stillOpen);
  QVERIFY(port.OpenPeriod() > periodAtPick);  // the step for 60 opened it afresh
  QCOMPARE(sim.Requests(), (QStringList{Hex({58, 3, 0, 0, 0, 1}), Hex({59, 3, 0, 0, 0, 1}), Hex({60, 3, 0, 0, 0, 1})}));
  QCOMPARE(w.Memo(), (QStringList{"TX : " + Hex({60, 3, 0, 0, 0, 1}) + " ", "RX : " + Hex({60, 3, 2, 0, 20}) + " ",
                                  "   : ОБНАРУЖЕН ПРИБОР <ТЕЛВАР-2 - V2> ПО АДРЕСУ 060", kLineOk}));
}

// A press on the menu bar while the step to the device is out rebuilds the
// Port list without the port in use: the step's reply still ends the
// search, and then the first entry of the new list becomes the port.
void TestPortChange::rebuildDuringSearchStep() {
  SimLine sim({"--device", "60:20", "--turnaround-ms", "100"});
  QVERIFY(sim.Ready());
  SimLine second({"--device", "1:20"});
  QVERIFY(second.Ready());
  Window w(sim.Path(), sim.Dir());
  TComPort& port = w.form.ComPort1();
  BusSearch& search = w.form.Search();
  search.DelayItem[5]->trigger();  // 350ms
  QString portAfterPress;
  bool outstandingAtPress = false;
  OnRequest(w, this, Hex({60, 3, 0, 0, 0, 1}).left(2), [&] {
    QFile list(w.form.Connection().comportsPath);
    list.open(QIODevice::WriteOnly);
    list.write(second.Path().toLocal8Bit() + "\n");
    list.close();
    outstandingAtPress = w.Link().TransactionOutstanding();
    PressMenuBar(w);
    portAfterPress = QString::fromStdString(port.Port());
  });
  search.CustomItem5->trigger();
  w.Link().deviceAddress = 58;
  QTRY_COMPARE_WITH_TIMEOUT(search.CustomItem5->text(), QStringLiteral("Start"), 5000);

  QVERIFY(outstandingAtPress);
  QCOMPARE(portAfterPress, sim.Path());
  QCOMPARE(w.form.Connection().PortEntries(), QStringList{second.Path()});
  QCOMPARE(sim.Requests(), (QStringList{Hex({59, 3, 0, 0, 0, 1}), Hex({60, 3, 0, 0, 0, 1})}));
  QCOMPARE(sim.Lines().last().reply, Hex({60, 3, 2, 0, 20}));
  QCOMPARE(w.Memo(), (QStringList{"TX : " + Hex({60, 3, 0, 0, 0, 1}) + " ", "RX : " + Hex({60, 3, 2, 0, 20}) + " ",
                                  "   : ОБНАРУЖЕН ПРИБОР <ТЕЛВАР-2 - V2> ПО АДРЕСУ 060", kLineOk}));
  QCOMPARE(w.form.Connection().TeSpinEdit1->value(), 60);
  // The change took place at the end of that transaction.
  QCOMPARE(QString::fromStdString(port.Port()), second.Path());
  QCOMPARE(w.form.Connection().StatusPanel[0]->text(), second.Path());
  QCOMPARE(w.form.Connection().TickedPortEntry(), 0);
  QVERIFY(second.Requests().isEmpty());
}

// Connection > BaudRate while the reply is awaited: the reply comes at the
// rate it was asked at, and the port takes the new rate afterwards.
void TestPortChange::ratePickDuringStatusRequest() {
  SimLine sim({"--device", "1:20", "--turnaround-ms", "300"});
  QVERIFY(sim.Ready());
  Window w(sim.Path(), sim.Dir());
  w.form.Connection().TeSpinEdit1->setValue(1);
  TComPort& port = w.form.ComPort1();
  auto* rate9600 = w.form.findChild<QAction*>(QStringLiteral("BR_9600"));
  auto* rate19200 = w.form.findChild<QAction*>(QStringLiteral("BR_19200"));
  QVERIFY(rate9600 && rate19200);
  QLabel* panel = w.form.Connection().StatusPanel[1];

  QTest::mouseClick(w.Button("TeButton5"), Qt::LeftButton);
  QVERIFY(w.Link().TransactionOutstanding());
  const uint64_t period = port.OpenPeriod();
  rate19200->trigger();
  QCOMPARE(port.BaudRate(), TBaudRate::br9600);
  QVERIFY(rate9600->isChecked());
  QVERIFY(!rate19200->isChecked());
  QCOMPARE(panel->text(), QStringLiteral("BaudRate = 9600"));

  QVERIFY(w.WaitForEnds(1));
  QCOMPARE(sim.Lines().last().outcome, QStringLiteral("ok"));
  QCOMPARE(w.Memo().last(), kLineOk);
  QCOMPARE(port.OpenPeriod(), period);
  // Now the rate is the port's.
  QCOMPARE(port.BaudRate(), TBaudRate::br19200);
  QVERIFY(!rate9600->isChecked());
  QVERIFY(rate19200->isChecked());
  QCOMPARE(panel->text(), QStringLiteral("BaudRate = 19200"));

  // Picked again with no reply awaited: at once.
  rate9600->trigger();
  QCOMPARE(port.BaudRate(), TBaudRate::br9600);
  QCOMPARE(panel->text(), QStringLiteral("BaudRate = 9600"));
}

QTEST_MAIN(TestPortChange)
#include "tst_port_change.moc"
