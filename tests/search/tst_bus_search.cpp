// The bus search: start, steps, the three ways it ends, and the replies it
// does not take. The steps are driven by hand: each Step() is what
// Timer_ProgrammTimer does in state 254, and EndTransaction() what Timer_Rx
// does when it fires.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QSpinBox>
#include <QtTest>

#include "search/bus_search.h"
#include "tests/support/window_fixture.h"

using namespace telvar;
using namespace telvar::test;

namespace {

struct SearchFixture : WindowFixture {
  explicit SearchFixture(IdentificationTable table = IdentificationLineV2)
      : search(link, connection, std::move(table)) {
    connection.FormCreate();
    search.BuildSearchMenu(window.menuBar());
    progress.setRange(1, 247);
    progress.hide();
    link.hooks.identificationDecoder = [this] { return search.IdentificationDecoder(); };
    link.hooks.searchEndedWithoutFind = [this] { search.EndWithoutFind(); };
    search.ShowProgressIn(&progress);
    QObject::connect(&search, &BusSearch::started, [this] { ++statusButtonResets; });
    QObject::connect(&search, &BusSearch::finished, [this] { ++menuBarFocused; });
  }

  // One search step: the request of the next address, then the end of its
  // transaction with reply (empty: a time-out).
  void RunStep(const QByteArray& reply = {}) {
    link.Timer_Programm.stop();
    search.Step();
    if (link.Timer_Rx.isActive()) EndTransaction(reply);
  }
  // Steps until the search ends or the address reaches last.
  void RunStepsTo(int last) {
    while (search.Running() && link.deviceAddress < last) RunStep();
  }
  int LastRequestAddress() const { return uint8_t(port.written.last().at(0)); }
  int LinesWith(const QString& text) const { return int(log.Lines().filter(text).size()); }

  BusSearch search;
  QProgressBar progress;
  int statusButtonResets = 0;
  int menuBarFocused = 0;
};

QByteArray IdReply(int address, int modelId) { return BytesWithCrc({address, 3, 2, modelId >> 8, modelId & 0xFF}); }

}  // namespace

class TestBusSearch : public QObject {
  Q_OBJECT
 private slots:
  void menu();
  void startAndFirstStep();
  void delayAppliesFromTheNextRequest();
  void deviceFound_data();
  void deviceFound();
  void noDeviceEndsAfterAddress248();
  void whatTheStepFor248Brings_data();
  void whatTheStepFor248Brings();
  void failureAt247DoesNotEndTheSearch();
  void repliesNotTaken_data();
  void repliesNotTaken();
  void exceptionReplyGoesOn();
  void stopBeforeTheFirstStep();
  void stopWithARequestInFlight();
  void stopBetweenStepsClosesThePort();
  void requestThatCannotBeSentEndsTheSearch_data();
  void requestThatCannotBeSentEndsTheSearch();
};

void TestBusSearch::menu() {
  SearchFixture f;
  QCOMPARE(f.search.CustomItem4->objectName(), QStringLiteral("CustomItem4"));
  QCOMPARE(f.search.CustomItem4->title(), QStringLiteral("Search"));
  QCOMPARE(f.search.CustomItem5->text(), QStringLiteral("Start"));
  QCOMPARE(f.search.CustomItem6->title(), QStringLiteral("Delay"));
  QStringList captions;
  QStringList ticked;
  for (int i = 0; i < kDelayCount; ++i) {
    QAction* item = f.window.findChild<QAction*>(QStringLiteral("CustomItem%1").arg(7 + i));
    QVERIFY(item);
    captions << item->text();
    if (item->isChecked()) ticked << item->text();
  }
  QCOMPARE(captions, (QStringList{"100ms", "150ms", "200ms", "250ms", "300ms", "350ms"}));
  QCOMPARE(ticked, QStringList{"150ms"});
  QCOMPARE(int(f.link.searchDelay), 150);
}

void TestBusSearch::startAndFirstStep() {
  SearchFixture f;
  // A click parked behind an outstanding request is forgotten by the start.
  bool parkedRan = false;
  f.link.sequencingState = kStateCyclicPoll;
  f.link.SendReadHoldingRegisters(0, 30, kReplyStatus);
  QVERIFY(f.link.CommandGate([&] { parkedRan = true; }));

  f.search.CustomItem5->trigger();
  QCOMPARE(int(f.link.sequencingState), int(kStateSearch));
  QCOMPARE(int(f.link.deviceAddress), 0);
  QVERIFY(!f.progress.isHidden());
  QCOMPARE(f.progress.value(), 0);
  QCOMPARE(f.search.CustomItem5->text(), QStringLiteral("Stop"));
  QCOMPARE(f.statusButtonResets, 1);
  QCOMPARE(int(f.link.deferredClick), 0);
  QVERIFY(f.link.Timer_Programm.isActive());
  QCOMPARE(f.link.Timer_Programm.interval(), 5);

  f.link.Timer_Rx.stop();
  f.port.written.clear();
  f.search.Step();
  QCOMPARE(f.port.written.size(), 1);
  QCOMPARE(f.port.written[0], BytesWithCrc({1, 3, 0, 0, 0, 1}));
  QCOMPARE(f.progress.value(), 1);
  QCOMPARE(int(f.link.pendingReplyKind), int(kReplyIdentification));
  QCOMPARE(f.link.Timer_Rx.interval(), 150);
  QCOMPARE(int(f.port.readLimit), 7);
  f.EndTransaction();
  QTest::qWait(40);
  QVERIFY(!parkedRan);
}

void TestBusSearch::delayAppliesFromTheNextRequest() {
  SearchFixture f;
  f.search.CustomItem5Click();
  f.RunStep();
  f.search.DelayItem[5]->trigger();
  QCOMPARE(int(f.link.searchDelay), 350);
  QVERIFY(f.search.DelayItem[5]->isChecked());
  QVERIFY(!f.search.DelayItem[1]->isChecked());
  f.link.Timer_Programm.stop();
  f.search.Step();
  QCOMPARE(f.link.Timer_Rx.interval(), 350);
}

void TestBusSearch::deviceFound_data() {
  QTest::addColumn<bool>("secondGeneration");
  QTest::addColumn<int>("replyAddress");
  QTest::addColumn<int>("modelId");
  QTest::addColumn<QString>("line");
  QTest::newRow("v2 model 20") << true << 5 << 20 << IdentificationLineV2(20) + "005";
  QTest::newRow("v2 unknown id 0") << true << 5 << 0 << IdentificationLineV2(0) + "005";
  QTest::newRow("v1 model 20 unknown") << false << 5 << 20 << IdentificationLineV1(20) + "005";
  QTest::newRow("v1 model 4") << false << 5 << 4 << IdentificationLineV1(4) + "005";
  QTest::newRow("answer from another address") << true << 9 << 19 << IdentificationLineV2(19) + "009";
}

void TestBusSearch::deviceFound() {
  QFETCH(bool, secondGeneration);
  QFETCH(int, replyAddress);
  QFETCH(int, modelId);
  QFETCH(QString, line);
  SearchFixture f(secondGeneration ? IdentificationLineV2 : IdentificationLineV1);
  f.search.CustomItem5Click();
  f.RunStepsTo(4);
  f.RunStep(IdReply(replyAddress, modelId));
  QCOMPARE(f.LastRequestAddress(), 5);
  QCOMPARE(int(f.link.sequencingState), int(kStateIdle));
  QCOMPARE(int(f.link.deviceAddress), replyAddress);
  QCOMPARE(f.connection.TeSpinEdit1->value(), replyAddress);
  QCOMPARE(f.connection.TeLabel5->text(), AddressLabelText(replyAddress));
  QCOMPARE(f.log.Lines().mid(f.log.Lines().size() - 2), (QStringList{line, kLineOk}));
  QCOMPARE(f.search.CustomItem5->text(), QStringLiteral("Start"));
  QVERIFY(f.progress.isHidden());
  QCOMPARE(f.menuBarFocused, 1);
  QVERIFY(!f.port.open);
  QVERIFY(!f.link.Timer_Programm.isActive());
  // Nothing more is asked.
  f.search.Step();
  QCOMPARE(f.port.written.size(), 5);
}

void TestBusSearch::noDeviceEndsAfterAddress248() {
  SearchFixture f;
  f.search.CustomItem5Click();
  f.RunStepsTo(255);
  QCOMPARE(f.port.written.size(), 248);
  QCOMPARE(f.LastRequestAddress(), 248);
  QCOMPARE(int(f.link.sequencingState), int(kStateIdle));
  QCOMPARE(int(f.link.deviceAddress), 247);
  QCOMPARE(f.connection.TeSpinEdit1->value(), 247);
  QCOMPARE(f.connection.StatusPanel[2]->text(), QStringLiteral("DEVICE : A = 247; Baud = 9600;"));
  // The log of the last step: its request, the empty reply, the not-found line.
  QCOMPARE(f.log.Lines().last(), kLineNotFound);
  QCOMPARE(f.log.Lines().at(f.log.Lines().size() - 2), kPlaceholder);
  QCOMPARE(f.LinesWith(kLineTimeOut), 0);
  QVERIFY(f.progress.isHidden());
  QCOMPARE(f.search.CustomItem5->text(), QStringLiteral("Start"));
  QCOMPARE(f.menuBarFocused, 1);
  QVERIFY(!f.port.open);
}

void TestBusSearch::whatTheStepFor248Brings_data() {
  QTest::addColumn<QByteArray>("reply");
  QTest::newRow("time-out") << QByteArray();
  QByteArray corrupted = IdReply(248, 20);
  corrupted[6] = char(corrupted[6] ^ 0x55);
  QTest::newRow("wrong CRC") << corrupted;
  QTest::newRow("exception reply") << BytesWithCrc({248, 131, 2});
  QTest::newRow("identification from 248") << IdReply(248, 20);
  QTest::newRow("wrong length") << BytesWithCrc({248, 3, 4, 0, 20});
}

// However the step for 248 ends, nothing is found and no address beyond it
// is asked.
void TestBusSearch::whatTheStepFor248Brings() {
  QFETCH(QByteArray, reply);
  SearchFixture f;
  f.search.CustomItem5Click();
  f.link.deviceAddress = 247;
  f.RunStep(reply);
  if (f.search.Running()) f.RunStep();  // the step that finds the search past 248
  QCOMPARE(int(f.link.sequencingState), int(kStateIdle));
  QCOMPARE(f.port.written.size(), 1);
  QCOMPARE(f.LastRequestAddress(), 248);
  QCOMPARE(int(f.link.deviceAddress), 247);
  QCOMPARE(f.connection.TeSpinEdit1->value(), 247);
  QCOMPARE(f.LinesWith(kLineNotFound), 1);
  QCOMPARE(f.LinesWith(QStringLiteral("ОБНАРУЖЕН ПРИБОР <")), 0);
  QVERIFY(!f.port.open);
  f.search.Step();
  QCOMPARE(f.port.written.size(), 1);
}

void TestBusSearch::failureAt247DoesNotEndTheSearch() {
  SearchFixture f;
  f.search.CustomItem5Click();
  f.link.deviceAddress = 246;
  QByteArray corrupted = IdReply(247, 20);
  corrupted[5] = char(corrupted[5] ^ 0x01);
  f.RunStep(corrupted);
  QCOMPARE(int(f.link.sequencingState), int(kStateSearch));
  QCOMPARE(f.LinesWith(kLineCrcError), 0);
  QVERIFY(f.port.open);  // open from step to step
  f.RunStep();
  QCOMPARE(f.LastRequestAddress(), 248);
  QCOMPARE(f.LinesWith(kLineNotFound), 1);
}

void TestBusSearch::repliesNotTaken_data() {
  QTest::addColumn<QByteArray>("reply");
  QTest::addColumn<QString>("line");
  QTest::newRow("byte count 4, two data bytes") << BytesWithCrc({5, 3, 4, 0, 20}) << kLineBadLength;
  QTest::newRow("byte count 2, four data bytes") << BytesWithCrc({5, 3, 2, 0, 20, 0, 1}) << kLineBadLength;
  QTest::newRow("address 0") << IdReply(0, 20) << QString();
  QTest::newRow("address 248") << IdReply(248, 20) << QString();
  QTest::newRow("address 255") << IdReply(255, 20) << QString();
}

// A reply the decoder does not take is no find: the search goes on.
void TestBusSearch::repliesNotTaken() {
  QFETCH(QByteArray, reply);
  QFETCH(QString, line);
  SearchFixture f;
  f.search.CustomItem5Click();
  f.RunStepsTo(4);
  f.RunStep(reply);
  QCOMPARE(int(f.link.sequencingState), int(kStateSearch));
  QCOMPARE(int(f.link.deviceAddress), 5);
  // The reply's own line ends the log, or the decoder's line after it.
  QVERIFY(f.log.Lines().last().startsWith(line.isEmpty() ? kReplyPrefix : line));
  QCOMPARE(f.LinesWith(kLineOk), 0);
  QCOMPARE(f.LinesWith(QStringLiteral("ОБНАРУЖЕН")), 0);
  QVERIFY(f.link.Timer_Programm.isActive());
  f.RunStep();
  QCOMPARE(f.LastRequestAddress(), 6);
}

void TestBusSearch::exceptionReplyGoesOn() {
  SearchFixture f;
  f.search.CustomItem5Click();
  f.RunStepsTo(2);
  f.RunStep(BytesWithCrc({3, 131, 2}));
  QCOMPARE(f.log.Lines().last(), kLineError);
  QCOMPARE(int(f.link.sequencingState), int(kStateSearch));
  f.RunStep();
  QCOMPARE(f.LastRequestAddress(), 4);
}

void TestBusSearch::stopBeforeTheFirstStep() {
  SearchFixture f;
  f.search.CustomItem5Click();
  f.search.CustomItem5Click();  // within the first 5 ms: address still 0
  QCOMPARE(int(f.link.sequencingState), int(kStateIdle));
  QCOMPARE(int(f.link.deviceAddress), 1);
  QCOMPARE(f.connection.TeSpinEdit1->value(), 1);
  QCOMPARE(f.connection.TeLabel5->text(), QStringLiteral("АДРЕС ПРИБОРА - 001"));
  QCOMPARE(f.search.CustomItem5->text(), QStringLiteral("Start"));
  QVERIFY(f.progress.isHidden());
  QCOMPARE(f.menuBarFocused, 1);
  f.search.Step();  // the tick that was due finds the search stopped
  QVERIFY(f.port.written.isEmpty());
}

void TestBusSearch::stopWithARequestInFlight() {
  SearchFixture f;
  f.search.CustomItem5Click();
  f.RunStepsTo(11);
  f.link.Timer_Programm.stop();
  f.search.Step();
  QCOMPARE(f.LastRequestAddress(), 12);
  f.search.CustomItem5Click();
  QCOMPARE(int(f.link.deviceAddress), 12);
  QCOMPARE(f.connection.TeSpinEdit1->value(), 12);
  QCOMPARE(f.search.CustomItem5->text(), QStringLiteral("Start"));
  // The device at 12 still answers: it is reported.
  f.EndTransaction(IdReply(12, 21));
  QCOMPARE(f.log.Lines().mid(f.log.Lines().size() - 2), (QStringList{IdentificationLineV2(21) + "012", kLineOk}));
  QCOMPARE(int(f.link.deviceAddress), 12);
  QVERIFY(!f.port.open);
  QVERIFY(!f.link.Timer_Programm.isActive());
}

// Nothing else would close the port the search kept open.
void TestBusSearch::stopBetweenStepsClosesThePort() {
  SearchFixture f;
  f.search.CustomItem5Click();
  f.RunStepsTo(3);
  QVERIFY(f.port.open);
  QVERIFY(f.link.Timer_Programm.isActive());  // the next step is due
  f.search.CustomItem5Click();
  QVERIFY(!f.port.open);
  QCOMPARE(int(f.link.deviceAddress), 3);
  f.search.Step();
  QCOMPARE(f.port.written.size(), 3);
}

void TestBusSearch::requestThatCannotBeSentEndsTheSearch_data() {
  QTest::addColumn<bool>("openFails");
  QTest::addColumn<int>("failingStep");
  QTest::newRow("write fails, the adapter gone") << false << 4;
  QTest::newRow("port cannot be opened at the first step") << true << 1;
  QTest::newRow("write fails at 248") << false << 248;
}

// No transaction end follows a request that could not be sent: the search
// ends there as Stop ends it, and lets go of the port it held.
void TestBusSearch::requestThatCannotBeSentEndsTheSearch() {
  QFETCH(bool, openFails);
  QFETCH(int, failingStep);
  SearchFixture f;
  f.search.CustomItem5Click();
  f.RunStepsTo(failingStep - 1);
  (openFails ? f.port.failOpen : f.port.failWrite) = true;
  f.RunStep();

  QCOMPARE(f.log.Lines().last(), kLinePortError + QStringLiteral("COM1"));
  QCOMPARE(int(f.link.sequencingState), int(kStateIdle));
  QCOMPARE(f.search.CustomItem5->text(), QStringLiteral("Start"));
  QVERIFY(f.progress.isHidden());
  QVERIFY(!f.port.open);
  QVERIFY(!f.link.TransactionOutstanding());
  QVERIFY(!f.link.Timer_Programm.isActive());
  QCOMPARE(int(f.link.pendingReplyKind), int(kReplyNone));
  // The address of the step that failed, as after Stop.
  QCOMPARE(int(f.link.deviceAddress), qMin(failingStep, 247));
  QCOMPARE(f.connection.TeSpinEdit1->value(), qMin(failingStep, 247));
  QCOMPARE(f.menuBarFocused, 1);
  QCOMPARE(f.LinesWith(kLineNotFound), 0);

  // Back again: a new search starts from address 1 on a port opened afresh.
  f.port.failOpen = f.port.failWrite = false;
  const int sent = int(f.port.written.size());
  const quint64 period = f.port.period;
  f.search.CustomItem5Click();
  f.RunStep();
  QCOMPARE(int(f.port.written.size()), sent + 1);
  QCOMPARE(f.LastRequestAddress(), 1);
  QCOMPARE(f.port.period, period + 1);
  QCOMPARE(int(f.link.sequencingState), int(kStateSearch));
}

QTEST_MAIN(TestBusSearch)
#include "tst_bus_search.moc"
