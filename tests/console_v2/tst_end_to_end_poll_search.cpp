// The window of telvar_v210 against the device simulator: the cyclic poll
// with its pause, a command given during it, a port that goes away, and the
// bus search with and without a device.
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include "link/traffic_log.h"
#include "search/bus_search.h"
#include "search/identification.h"
#include "tests/console_v2/sim_line.h"

using namespace telvar;
using namespace v2test;

namespace {

const QString kReadStatus1 = QStringLiteral("01 03 00 00 00 1E C5 C2");
const QString kAlarmReset1 = QStringLiteral("01 06 00 17 AA 55 87 51");
const QString kSoundReset1 = QStringLiteral("01 06 00 16 A5 5A 93 65");

QString SearchRequest(int address) {
  const QStringList crc = {"84 0A", "84 39", "85 E8", "84 5F", "85 8E", "85 BD", "84 6C", "84 93", "85 42"};
  return QStringLiteral("%1 03 00 00 00 01 ").arg(address, 2, 16, QLatin1Char('0')).toUpper() + crc[address - 1];
}

}  // namespace

class TestEndToEndPollSearch : public QObject {
  Q_OBJECT
 private slots:
  void cyclicPollKeepsItsPauseAndLetsCommandsIn();
  void portFailureHaltsThePoll();
  void pollStartDiscardsParkedClick();
  void searchStopsAtFirstDevice();
  void searchWithoutDeviceEndsAfter248();

 private:
  Dialogs dialogs_;
};

// 500 ms between the end of one transaction and the next request; a
// command given while a reply is awaited goes 20 ms after that transaction,
// one given in the pause goes at once.
void TestEndToEndPollSearch::cyclicPollKeepsItsPauseAndLetsCommandsIn() {
  SimLine sim({"--device", "1:20"});
  QVERIFY(sim.Ready());
  Window w(sim.Path(), sim.Dir());
  w.form.Connection().TeSpinEdit1->setValue(1);
  BusLink& link = w.Link();
  QTest::mouseClick(w.Button("A0_CBox"), Qt::LeftButton);
  QCOMPARE(link.sequencingState, uint8_t(kStateIdle));  // ticking alone starts nothing
  QTest::mouseClick(w.Button("TeButton5"), Qt::LeftButton);

  QCOMPARE(w.Button("TeButton5")->text(), QStringLiteral("СТОП"));
  QVERIFY(!w.Button("A0_CBox")->isEnabled());
  QVERIFY(!w.Find("TeGroupBox7")->isEnabled());
  QVERIFY(!w.Find("TeGroupBox5")->isEnabled());
  QVERIFY(w.Find("TeSComboBox2")->isHidden());
  QVERIFY(w.Find("TeGroupBox6")->isEnabled() && w.Button("TeButton3")->isEnabled());

  QVERIFY(w.WaitForEnds(3));
  // As soon as the fourth request is out, an alarm reset is parked.
  bool parked = false;
  auto* memo = w.form.Controls().TeMemo1;
  QMetaObject::Connection onRequest = connect(memo, &QPlainTextEdit::textChanged, this, [&] {
    if (!memo->toPlainText().endsWith(QStringLiteral("\nRX :"))) return;
    disconnect(onRequest);
    QTimer::singleShot(0, this, [&] {
      QTest::mouseClick(w.Button("TeButton3"), Qt::LeftButton);
      parked = link.deferredClick == 1;
    });
  });
  QVERIFY(w.WaitForEnds(2));
  QVERIFY(parked);
  // In the pause after the alarm reset a sound reset goes at once.
  QTRY_VERIFY(link.Timer_Programm.isActive());
  QTest::mouseClick(w.Button("TeButton4"), Qt::LeftButton);
  QVERIFY(link.TransactionOutstanding());
  QVERIFY(w.WaitForEnds(3));
  QTest::mouseClick(w.Button("TeButton5"), Qt::LeftButton);

  const QList<SimLogLine> lines = sim.Lines();
  QStringList requests;
  for (const SimLogLine& line : lines) requests << line.request;
  QCOMPARE(requests.mid(0, 8), (QStringList{kReadStatus1, kReadStatus1, kReadStatus1, kReadStatus1, kAlarmReset1,
                                            kSoundReset1, kReadStatus1, kReadStatus1}));
  const auto gapMs = [&](int i) { return 1000 * (lines[i].time.toDouble() - lines[i - 1].time.toDouble()); };
  // A status transaction takes about 80 ms at 9600 baud, a write about 20.
  for (int i : {1, 2, 3, 7}) QVERIFY2(gapMs(i) >= 560 && gapMs(i) <= 900, qPrintable(QString::number(gapMs(i))));
  QVERIFY2(gapMs(4) >= 60 && gapMs(4) <= 350, qPrintable(QString::number(gapMs(4))));
  QVERIFY2(gapMs(5) <= 200, qPrintable(QString::number(gapMs(5))));
  QVERIFY2(gapMs(6) >= 500 && gapMs(6) <= 800, qPrintable(QString::number(gapMs(6))));

  // Stopped: everything usable again, no request follows.
  QCOMPARE(w.Button("TeButton5")->text(), QStringLiteral("ЗАПРОС ПАРАМЕТРОВ"));
  QVERIFY(w.Button("A0_CBox")->isEnabled());
  QVERIFY(w.Find("TeGroupBox7")->isEnabled());
  QVERIFY(!w.Find("TeSComboBox2")->isHidden());
  QVERIFY(w.Find("TeGroupBox5")->isHidden());
  const int sent = int(sim.Lines().size());
  QTest::qWait(800);
  QCOMPARE(int(sim.Lines().size()), sent);
}

// No transaction end follows a request whose port cannot be opened: the
// poll halts, still showing "СТОП", until it is stopped.
void TestEndToEndPollSearch::portFailureHaltsThePoll() {
  SimLine sim({"--device", "1:20"});
  QVERIFY(sim.Ready());
  Window w(sim.Path(), sim.Dir());
  w.form.Connection().TeSpinEdit1->setValue(1);
  BusLink& link = w.Link();
  QTest::mouseClick(w.Button("A0_CBox"), Qt::LeftButton);
  QTest::mouseClick(w.Button("TeButton5"), Qt::LeftButton);
  QVERIFY(w.WaitForEnds(1));
  QVERIFY(QFile::remove(sim.Path()));

  QTRY_COMPARE(w.Memo().last(), kLinePortError + sim.Path());
  QCOMPARE(w.Memo().first(), QStringLiteral("TX : ") + kReadStatus1 + QLatin1Char(' '));
  QVERIFY(!link.TransactionOutstanding());
  QVERIFY(!link.Timer_Programm.isActive());
  QCOMPARE(link.sequencingState, uint8_t(kStateCyclicPoll));
  QCOMPARE(w.Button("TeButton5")->text(), QStringLiteral("СТОП"));
  // The guard of the failed request does not linger: the flags still act.
  QCOMPARE(link.echoGuard, uint8_t(0));
  QTest::qWait(700);
  QCOMPARE(sim.Requests(), QStringList{kReadStatus1});

  QTest::mouseClick(w.Button("TeButton5"), Qt::LeftButton);
  QCOMPARE(link.sequencingState, uint8_t(kStateIdle));
  QVERIFY(w.Button("A0_CBox")->isEnabled());
}

// A click parked behind a transaction does not fire into a poll started
// meanwhile.
void TestEndToEndPollSearch::pollStartDiscardsParkedClick() {
  SimLine sim({"--device", "1:20", "--fault", "1:no-reply"});
  QVERIFY(sim.Ready());
  Window w(sim.Path(), sim.Dir());
  w.form.Connection().TeSpinEdit1->setValue(1);
  BusLink& link = w.Link();
  QTest::mouseClick(w.Button("TeButton3"), Qt::LeftButton);
  QVERIFY(link.TransactionOutstanding());
  QTest::mouseClick(w.Button("TeButton4"), Qt::LeftButton);  // parked behind the alarm reset
  QCOMPARE(link.deferredClick, uint8_t(1));
  QTest::mouseClick(w.Button("A0_CBox"), Qt::LeftButton);
  QTest::mouseClick(w.Button("TeButton5"), Qt::LeftButton);
  QCOMPARE(link.deferredClick, uint8_t(0));

  // The poll's first request waits for the end of the alarm reset's
  // transaction instead of crossing its reply on the bus.
  QVERIFY(w.WaitForEnds(1));
  QCOMPARE(sim.Requests(), QStringList{kAlarmReset1});
  QVERIFY(w.WaitForEnds(1));
  QTest::mouseClick(w.Button("TeButton5"), Qt::LeftButton);
  QTest::qWait(100);
  const QList<SimLogLine> lines = sim.Lines();
  QCOMPARE(sim.Requests(), (QStringList{kAlarmReset1, kReadStatus1}));
  QVERIFY(lines[1].time.toDouble() - lines[0].time.toDouble() >= 0.34);
  QCOMPARE(w.Memo().last(), kLineTimeOut);
}

void TestEndToEndPollSearch::searchStopsAtFirstDevice() {
  SimLine sim({"--device", "5:20", "--device", "9:21"});
  QVERIFY(sim.Ready());
  Window w(sim.Path(), sim.Dir());
  BusSearch& search = w.form.Search();
  search.DelayItem[0]->trigger();  // 100ms
  search.CustomItem5->trigger();
  QCOMPARE(search.CustomItem5->text(), QStringLiteral("Stop"));
  QVERIFY(w.Find("TeProgressBar1")->isVisible() || !w.Find("TeProgressBar1")->isHidden());
  // Commands are ignored while searching.
  QTest::mouseClick(w.Button("TeButton3"), Qt::LeftButton);
  QTest::mouseClick(w.Button("TeButton5"), Qt::LeftButton);
  QTRY_COMPARE_WITH_TIMEOUT(search.CustomItem5->text(), QStringLiteral("Start"), 5000);

  const QList<SimLogLine> lines = sim.Lines();
  QCOMPARE(lines.size(), 5);
  for (int i = 0; i < 4; ++i) {
    QCOMPARE(lines[i].request, SearchRequest(i + 1));
    QCOMPARE(lines[i].outcome, QStringLiteral("not-mine"));
  }
  QCOMPARE(lines[4].request, SearchRequest(5));
  QCOMPARE(lines[4].reply, QStringLiteral("05 03 02 00 14 49 8B"));
  QCOMPARE(w.Memo(), (QStringList{"TX : 05 03 00 00 00 01 85 8E ", "RX : 05 03 02 00 14 49 8B ",
                                  "   : ОБНАРУЖЕН ПРИБОР <ТЕЛВАР-2 - V2> ПО АДРЕСУ 005", kLineOk}));
  QCOMPARE(w.form.Connection().TeSpinEdit1->value(), 5);
  QCOMPARE(w.Link().deviceAddress, uint8_t(5));
  QVERIFY(w.Find("TeProgressBar1")->isHidden());
  QCOMPARE(w.Button("TeButton5")->text(), QStringLiteral("ЗАПРОС ПАРАМЕТРОВ"));

  // The device found answers the next status request.
  QTest::mouseClick(w.Button("TeButton5"), Qt::LeftButton);
  QVERIFY(w.WaitForEnds(1));
  QCOMPARE(sim.Requests().last(), QStringLiteral("05 03 00 00 00 1E C4 46"));
  QCOMPARE(w.Memo().last(), kLineOk);
}

void TestEndToEndPollSearch::searchWithoutDeviceEndsAfter248() {
  // The only device on the line keeps silent.
  SimLine sim({"--device", "5:20", "--fault", "5:no-reply"});
  QVERIFY(sim.Ready());
  Window w(sim.Path(), sim.Dir());
  BusSearch& search = w.form.Search();
  search.DelayItem[0]->trigger();
  search.CustomItem5->trigger();
  // The walk from address 1 is the search's own test; here it starts near
  // the end, before its first step.
  w.Link().deviceAddress = 245;
  QTRY_COMPARE_WITH_TIMEOUT(search.CustomItem5->text(), QStringLiteral("Start"), 5000);

  const QStringList requests = sim.Requests();
  QCOMPARE(requests.size(), 3);
  QCOMPARE(requests.first(), QStringLiteral("F6 03 00 00 00 01 91 4D"));
  QCOMPARE(requests.last(), QStringLiteral("F8 03 00 00 00 01 90 63"));
  QCOMPARE(w.Memo(), (QStringList{"TX : F8 03 00 00 00 01 90 63 ", "RX :", kLineNotFound}));
  QCOMPARE(w.Link().deviceAddress, uint8_t(247));
  QCOMPARE(w.form.Connection().TeSpinEdit1->value(), 247);
  QCOMPARE(w.form.Connection().TeLabel5->text(), QStringLiteral("АДРЕС ПРИБОРА - 247"));
  QTest::qWait(300);
  QCOMPARE(sim.Requests().size(), 3);
}

QTEST_MAIN(TestEndToEndPollSearch)
#include "tst_end_to_end_poll_search.moc"
