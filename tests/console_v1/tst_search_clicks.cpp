// The window of telvar_105 against the device simulator: during a bus
// search what the user touches changes neither the search nor the device;
// a port picked while a reply is awaited waits for that transaction.
#include <memory>

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

#include "console_v1/main_window.h"
#include "link/traffic_log.h"
#include "search/bus_search.h"
#include "serial/connection_settings.h"
#include "tests/sim/sim_process.h"
#include "widgets/message_boxes.h"

using namespace telvar;
using namespace telvar::v1;

namespace {

QString Hex(std::initializer_list<int> bytes) { return hexText(BytesWithCrc(bytes)); }

QStringList Requests(const SimProcess& sim) {
  QStringList requests;
  for (const SimLogLine& line : sim.log()) requests << line.request;
  return requests;
}

// The window on the simulator's line.
std::unique_ptr<TForm1> WindowOn(const QString& path) {
  auto form = std::make_unique<TForm1>();
  form->Connection().platformPortList = [path] { return PlatformPortList{true, {path}}; };
  form->Connection().TeMenuBar1MouseDown();
  return form;
}

}  // namespace

class TestSearchClicks : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void searchIgnoresWhatTheUserTouches();
  void repickDuringStatusRequest();
};

void TestSearchClicks::initTestCase() {
  SetDialogHook([](QMessageBox::Icon, const QString&, QMessageBox::StandardButtons) { return QMessageBox::No; });
}

// The device lies at 60, far from address 1: an address typed during the
// search, or a rate picked, moves nothing and writes nothing.
void TestSearchClicks::searchIgnoresWhatTheUserTouches() {
  SimProcess sim;
  QVERIFY2(sim.start({"--device", "60:4"}), qPrintable(sim.error()));
  auto form = WindowOn(sim.link());
  ConnectionSettings& connection = form->Connection();
  form->Search().DelayItem[0]->trigger();  // 100ms
  form->Search().CustomItem5->trigger();
  form->Link().deviceAddress = 50;  // before the first step: the walk starts at 51
  QTRY_VERIFY(form->Link().deviceAddress >= 53);

  for (const char* name : {"TeSComboBox1", "TeSpinEdit1", "TeSpinEdit2", "TeButton1", "TeGroupBox3", "TeGroupBox4",
                           "TeGroupBox6", "TeButton5", "TeButton3", "TeButton2", "TeCheckBox1", "B0_Button"})
    QVERIFY2(!form->findChild<QWidget*>(name)->isEnabled(), name);
  QTest::mouseClick(connection.TeSpinEdit1, Qt::LeftButton);
  QTest::keyClicks(connection.TeSpinEdit1, "200");
  QTest::keyClick(connection.TeSpinEdit1, Qt::Key_Return);
  QTest::keyClick(connection.TeSComboBox1, Qt::Key_End);
  connection.TeSComboBox1->setCurrentIndex(5);  // a pick that reaches the list all the same
  emit connection.TeSComboBox1->activated(5);
  QCOMPARE(connection.TeSComboBox1->currentIndex(), 3);
  QCOMPARE(connection.TeSpinEdit1->value(), 247);
  QTRY_COMPARE_WITH_TIMEOUT(form->Search().CustomItem5->text(), QStringLiteral("Start"), 5000);

  QStringList expected;
  for (int a = 51; a <= 60; ++a) expected << Hex({a, 3, 0, 0, 0, 1});
  QCOMPARE(Requests(sim), expected);
  const QStringList log = form->Link().Log().Lines();
  QCOMPARE(log, (QStringList{"TX : " + Hex({60, 3, 0, 0, 0, 1}) + " ", "RX : " + Hex({60, 3, 2, 0, 4}) + " ",
                             "   : ОБНАРУЖЕН ПРИБОР <ТЕЛВАР-1(EX)> ПО АДРЕСУ 060", kLineOk}));
  QCOMPARE(connection.TeSpinEdit1->value(), 60);
  QCOMPARE(connection.StatusPanel[2]->text(), QStringLiteral("DEVICE : A = 060; Baud = 9600;"));
  QCOMPARE(connection.TeSComboBox1->currentText(), QStringLiteral("9600"));
  for (const char* name : {"TeSComboBox1", "TeSpinEdit1", "TeGroupBox3", "TeGroupBox4", "TeGroupBox6", "TeButton5"})
    QVERIFY2(form->findChild<QWidget*>(name)->isEnabled(), name);

  // The rate picked during the search goes to the device when picked now.
  QSignalSpy ended(&form->Link(), &BusLink::transactionEnded);
  connection.TeSComboBox1->setCurrentIndex(5);
  emit connection.TeSComboBox1->activated(5);
  QVERIFY(ended.wait(2000));
  QCOMPARE(Requests(sim).last(), Hex({60, 6, 0, 2, 0, 6}));
  QCOMPARE(form->Link().Log().Lines().last(), kLineOk);
}

// The ticked port picked again while a status reply is awaited: the port
// is closed at the end of that transaction, not under it.
void TestSearchClicks::repickDuringStatusRequest() {
  SimProcess sim;
  QVERIFY2(sim.start({"--device", "1:4", "--turnaround-ms", "200"}), qPrintable(sim.error()));
  auto form = WindowOn(sim.link());
  form->Connection().TeSpinEdit1->setValue(1);
  QTest::mouseClick(form->Controls().TeButton5, Qt::LeftButton);
  QVERIFY(form->Link().TransactionOutstanding());
  const uint64_t period = form->ComPort1().OpenPeriod();
  QAction* ticked = form->Connection().PORT1->actions().value(form->Connection().TickedPortEntry());
  QVERIFY(ticked);
  ticked->trigger();
  QVERIFY(form->ComPort1().Connected());
  QCOMPARE(form->ComPort1().OpenPeriod(), period);

  QSignalSpy ended(&form->Link(), &BusLink::transactionEnded);
  QVERIFY(ended.wait(2000));
  QCOMPARE(Requests(sim), QStringList{Hex({1, 3, 0, 0, 0, 12})});
  QCOMPARE(sim.log().last().outcome, QStringLiteral("ok"));
  QCOMPARE(form->Link().Log().Lines().last(), kLineOk);
  QVERIFY(!form->Link().Log().Lines().contains(kLineTimeOut));
  QVERIFY(!form->ComPort1().Connected());
  QCOMPARE(form->Connection().TickedPortEntry(), 0);
}

QTEST_MAIN(TestSearchClicks)
#include "tst_search_clicks.moc"
