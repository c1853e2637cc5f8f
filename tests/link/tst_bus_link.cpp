// The transaction cycle against a stand-in port: routing of replies, the
// end of a transaction, port failures, late bytes, the command gate and the
// search branches.
#include <QtTest>

#include "link/bus_link.h"
#include "link/traffic_log.h"
#include "tests/support/crc.h"
#include "tests/support/fake_port.h"

using namespace telvar;

namespace {

// The reply's bytes with their CRC appended (or spoiled).
constexpr auto Reply = [](const QByteArray& hex, bool spoilCrc = false) { return testing::WithCrc(hex, spoilCrc); };
using testing::FakePort;

QString ReplyLine(const QByteArray& bytes) {
  return ByteLines(kReplyPrefix, reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size()).join('\n');
}

struct Rig {
  Rig() {
    link.hooks.statusDecoder = [this] {
      calls << "status";
      if (decoderRejects) log.AddLine(kLineBadLength);
      return decoderRejects ? uint8_t(kReplyRejected) : uint8_t(kReplyStatus);
    };
    link.hooks.identificationDecoder = [this] {
      calls << "identification";
      return uint8_t(kReplyIdentification);
    };
    link.hooks.addressReplyHandler = [this] { calls << "address"; };
    link.hooks.baudReplyHandler = [this] { calls << "baud"; };
    link.hooks.searchEndedWithoutFind = [this] {
      calls << "not found";
      link.sequencingState = kStateIdle;
    };
  }
  // Waits for the end of the outstanding transaction.
  bool End(int ms = 2000) { return ended.wait(ms); }

  FakePort port;
  TrafficLog log;
  BusLink link{port, log};
  QSignalSpy ended{&link, &BusLink::transactionEnded};
  QStringList calls;
  bool decoderRejects = false;
};

}  // namespace

class TestBusLink : public QObject {
  Q_OBJECT
 private slots:
  void dispatch_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("decoderRejects");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QStringList>("statusLines");

    const QByteArray status = Reply("010302 0014");
    QTest::newRow("status decoded") << 3 << status << false << QStringList{"status"} << QStringList{kLineOk};
    QTest::newRow("status rejected by its decoder")
        << 3 << status << true << QStringList{"status"} << QStringList{kLineBadLength};
    QTest::newRow("identification") << 254 << status << false << QStringList{"identification"} << QStringList{kLineOk};
    QTest::newRow("function 3 with no decoder for kind 6")
        << 6 << status << false << QStringList{} << QStringList{kLineOk};
    QTest::newRow("address write echoed")
        << 1 << Reply("01060001000C") << false << QStringList{"address"} << QStringList{kLineOk};
    QTest::newRow("baud write echoed") << 2 << Reply("010600020006") << false << QStringList{"baud"}
                                       << QStringList{kLineOk};
    QTest::newRow("function 16 reply") << 7 << Reply("0110000C0002") << false << QStringList{} << QStringList{kLineOk};
    QTest::newRow("exception to function 3")
        << 3 << Reply("018302") << false << QStringList{} << QStringList{kLineError};
    QTest::newRow("exception with a wrong CRC")
        << 6 << Reply("018602", true) << false << QStringList{} << QStringList{kLineError, kLineCrcError};
    QTest::newRow("good frame, wrong CRC: no decoder")
        << 3 << Reply("010302 0014", true) << false << QStringList{} << QStringList{kLineCrcError};
    QTest::newRow("unlisted function code") << 3 << Reply("010500") << false << QStringList{} << QStringList{};
    QTest::newRow("a single byte") << 3 << QByteArray::fromHex("01") << false << QStringList{}
                                   << QStringList{kLineCrcError};
  }
  void dispatch() {
    QFETCH(int, kind);
    QFETCH(QByteArray, reply);
    QFETCH(bool, decoderRejects);
    QFETCH(QStringList, calls);
    QFETCH(QStringList, statusLines);
    Rig rig;
    rig.decoderRejects = decoderRejects;
    rig.link.deviceAddress = 1;
    rig.link.echoGuard = 1;
    QVERIFY(rig.link.SendReadHoldingRegisters(0, 30, uint8_t(kind)));
    QCOMPARE(rig.link.pendingReplyKind, uint8_t(kind));
    QVERIFY(rig.link.TransactionOutstanding());
    rig.port.Deliver(reply);
    QVERIFY(rig.End());

    QCOMPARE(rig.calls, calls);
    QStringList expected{"TX : 01 03 00 00 00 1E C5 C2 ", ReplyLine(reply)};
    expected = expected.join('\n').split('\n') + statusLines;
    QCOMPARE(rig.log.Lines(), expected);
    QCOMPARE(rig.log.Color(), kLogBlue);
    // The end leaves the cycle idle and the port closed.
    QVERIFY(!rig.port.open);
    QCOMPARE(rig.link.receivedCount, uint16_t(0));
    QCOMPARE(rig.link.pendingReplyKind, uint8_t(0));
    QCOMPARE(rig.link.echoGuard, uint8_t(0));
    QVERIFY(!rig.link.Timer_Programm.isActive());
  }

  void replyTimeOuts() {
    Rig rig;
    rig.link.hooks.readTimeoutMs = [] { return 40; };
    rig.link.SendReadHoldingRegisters(0, 12, kReplyStatus);
    QCOMPARE(rig.link.Timer_Rx.interval(), 40);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(rig.End());
    QVERIFY(clock.elapsed() >= 35);
    QCOMPARE(rig.log.Lines(), (QStringList{"TX : F7 03 00 00 00 0C 51 59 ", "RX :", kLineTimeOut}));

    rig.link.SendWriteSingleRegister(23, 0xAA55, kReplyCommand);
    QCOMPARE(rig.link.Timer_Rx.interval(), kWriteTimeoutMs);
    rig.link.sequencingState = kStateSearch;
    rig.link.searchDelay = 250;
    rig.link.SendReadHoldingRegisters(0, 1, kReplyIdentification);
    QCOMPARE(rig.link.Timer_Rx.interval(), 250);
  }

  void portFailure_data() {
    QTest::addColumn<bool>("failOpen");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("stateAfter");
    QTest::newRow("open fails, idle") << true << 0 << 0;
    QTest::newRow("write fails, idle") << false << 0 << 0;
    QTest::newRow("open fails in a two-step sequence") << true << 7 << 0;
    QTest::newRow("open fails in the poll: it stays halted") << true << 255 << 255;
  }
  void portFailure() {
    QFETCH(bool, failOpen);
    QFETCH(int, state);
    QFETCH(int, stateAfter);
    Rig rig;
    rig.port.failOpen = failOpen;
    rig.port.failWrite = !failOpen;
    rig.link.sequencingState = uint8_t(state);
    rig.link.echoGuard = 1;
    QVERIFY(!rig.link.SendWriteSingleRegister(131, 0x5E2B, kReplyModelWrite));
    QCOMPARE(rig.log.Lines(),
             (QStringList{"TX : F7 06 00 83 5E 2B 14 CB ", "RX :", "   : ОШИБКА ОТКРЫТИЯ ПОРТА COM7"}));
    QCOMPARE(rig.log.Color(), kLogBlue);
    QVERIFY(!rig.link.TransactionOutstanding());
    QCOMPARE(rig.link.echoGuard, uint8_t(0));
    QCOMPARE(rig.link.pendingReplyKind, uint8_t(0));
    QCOMPARE(rig.link.sequencingState, uint8_t(stateAfter));
    // A port that took the open but not the write is not kept open.
    QVERIFY(!rig.port.open);
    // No transaction end follows, so nothing restarts the running operation.
    QVERIFY(!rig.End(100));
    QVERIFY(!rig.link.Timer_Programm.isActive());
  }

  void bytesOutsideATransactionAreLost() {
    Rig rig;
    rig.link.hooks.readTimeoutMs = [] { return 30; };
    rig.link.SendReadHoldingRegisters(0, 1, kReplyStatus);
    QVERIFY(rig.End());
    const QStringList afterTimeOut = rig.log.Lines();
    rig.port.Deliver(Reply("010302 0014"));  // after its time-out
    QTest::qWait(30);
    QCOMPARE(rig.log.Lines(), afterTimeOut);
    QCOMPARE(rig.link.receivedCount, uint16_t(0));

    // Bytes read in an earlier opening of the port are not this reply.
    rig.link.SendReadHoldingRegisters(0, 1, kReplyStatus);
    rig.port.onReceived(Reply("010302 0014"), rig.port.period - 1);
    QVERIFY(rig.End());
    QCOMPARE(rig.log.Lines().last(), kLineTimeOut);
  }

  void singleByteHasNoFunctionCode() {
    // Byte 1 still holds the request's function code; a reply of one byte
    // must not be routed by it.
    Rig rig;
    FrameBuffer request{};
    const QByteArray sent = Reply("01860001 0005");
    std::copy(sent.begin(), sent.end(), request.begin());
    QVERIFY(rig.link.SendFrame(request, uint8_t(sent.size()), 8, kReplyCommand));
    rig.port.Deliver(QByteArray::fromHex("01"));
    QVERIFY(rig.End());
    QCOMPARE(rig.log.Lines().mid(1), (QStringList{"RX : 01 ", kLineCrcError}));
  }

  void eachReceiveStartsFromByteZero() {
    Rig rig;
    rig.link.SendReadHoldingRegisters(0, 1, kReplyCommand);
    rig.port.Deliver(QByteArray::fromHex("FFFFFF"));
    rig.port.Deliver(Reply("010302 0014"));
    QVERIFY(rig.End());
    QCOMPARE(rig.log.Lines().mid(1), (QStringList{ReplyLine(Reply("010302 0014")), kLineOk}));
  }

  void gateInIdle() {
    Rig rig;
    int runs = 0;
    std::function<void()> click = [&] { ++runs; };
    QVERIFY(!rig.link.CommandGate(click));  // nothing outstanding: go
    QCOMPARE(rig.link.Timer_Programm.interval(), 500);

    // A click while a reply is awaited waits for that transaction to end.
    rig.link.SendWriteSingleRegister(23, 0xAA55, kReplyCommand);
    QVERIFY(rig.link.CommandGate(click));
    QCOMPARE(rig.link.deferredClick, uint8_t(1));
    rig.port.Deliver(Reply("F70600 17AA55"));
    QVERIFY(rig.End());
    QVERIFY(rig.link.Timer_Wait.isActive());
    QTRY_COMPARE_WITH_TIMEOUT(runs, 1, 500);
    // The click returned without passing the gate: it is not replayed again.
    QTest::qWait(100);
    QCOMPARE(runs, 1);
    QVERIFY(!rig.link.Timer_Wait.isActive());
  }

  void gateDuringThePoll() {
    Rig rig;
    rig.link.sequencingState = kStateCyclicPoll;
    rig.link.Timer_Programm.setInterval(500);
    rig.link.Timer_Programm.start();
    // In the pause between two requests a click goes at once.
    QVERIFY(!rig.link.CommandGate([] {}));
    QVERIFY(!rig.link.Timer_Programm.isActive());
    QCOMPARE(rig.link.Timer_Programm.interval(), 500);

    // While a status reply is awaited it is parked; the last click wins.
    rig.link.SendReadHoldingRegisters(0, 30, kReplyStatus);
    QStringList runs;
    std::function<void()> alarmReset;
    alarmReset = [&] {
      runs << "alarm reset";
      if (!rig.link.CommandGate(alarmReset)) rig.link.SendWriteSingleRegister(23, 0xAA55, kReplyCommand);
    };
    QVERIFY(rig.link.CommandGate([&] { runs << "lost"; }));
    QVERIFY(rig.link.CommandGate(alarmReset));
    QCOMPARE(rig.link.Timer_Programm.interval(), 20);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(rig.End());  // time-out of the status request
    QVERIFY(!rig.link.Timer_Programm.isActive());
    QTRY_COMPARE_WITH_TIMEOUT(runs, QStringList{"alarm reset"}, 500);
    QVERIFY(rig.link.TransactionOutstanding());
    QCOMPARE(rig.port.written.back().toHex(), QByteArray("f7060017aa5593c7"));
    // The poll resumes 500 ms after the command's own transaction.
    QVERIFY(rig.End());
    QVERIFY(rig.link.Timer_Programm.isActive());
    QCOMPARE(rig.link.Timer_Programm.interval(), 500);
  }

  void discardedClickIsNotReplayed() {
    Rig rig;
    rig.link.SendWriteSingleRegister(23, 0xAA55, kReplyCommand);
    bool ran = false;
    QVERIFY(rig.link.CommandGate([&] { ran = true; }));
    rig.link.DiscardParkedClick();
    rig.link.sequencingState = kStateCyclicPoll;
    QVERIFY(rig.End());
    QVERIFY(rig.link.Timer_Programm.isActive());
    QTest::qWait(60);
    QVERIFY(!ran);
  }

  void stepWaitsForAnOutstandingReply() {
    // The poll started while a single request is outstanding: its first step
    // waits for that transaction's end instead of crossing its reply.
    Rig rig;
    int steps = 0;
    QObject::connect(&rig.link.Timer_Programm, &QTimer::timeout, [&] {
      if (!rig.link.BeginStep()) return;
      ++steps;
      rig.link.SendReadHoldingRegisters(0, 30, kReplyStatus);
    });
    rig.link.SendReadHoldingRegisters(0, 30, kReplyStatus);
    rig.link.sequencingState = kStateCyclicPoll;
    rig.link.Timer_Programm.start();
    QTest::qWait(60);
    QCOMPARE(steps, 0);
    QCOMPARE(rig.port.written.size(), qsizetype(1));
    rig.port.Deliver(Reply("F70302 0014"));
    QVERIFY(rig.End());
    QTRY_COMPARE_WITH_TIMEOUT(steps, 1, 500);
    QCOMPARE(rig.port.written.size(), qsizetype(2));
  }

  void searchSteps_data() {
    QTest::addColumn<int>("address");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("endsSearch");
    QTest::newRow("silence at 12") << 12 << QByteArray() << false;
    QTest::newRow("wrong CRC at 247") << 247 << Reply("F70302 0014", true) << false;
    QTest::newRow("silence at 248") << 248 << QByteArray() << true;
    QTest::newRow("wrong CRC at 248") << 248 << Reply("F80302 0014", true) << true;
  }
  void searchSteps() {
    QFETCH(int, address);
    QFETCH(QByteArray, reply);
    QFETCH(bool, endsSearch);
    Rig rig;
    rig.link.sequencingState = kStateSearch;
    rig.link.searchDelay = 100;
    rig.link.deviceAddress = uint8_t(address);
    rig.link.SendReadHoldingRegisters(0, 1, kReplyIdentification);
    if (!reply.isEmpty()) rig.port.Deliver(reply);
    QVERIFY(rig.End());
    // While searching neither TIME OUT nor CRC ERROR is written.
    QCOMPARE(rig.log.Lines().size(), 2);  // the request and "RX :" only
    QVERIFY(!rig.log.Lines().contains(kLineTimeOut));
    QVERIFY(!rig.log.Lines().contains(kLineCrcError));
    QCOMPARE(rig.calls, endsSearch ? QStringList{"not found"} : QStringList{});
    // The port stays open from step to step, and is closed when the search ends.
    QCOMPARE(rig.port.open, !endsSearch);
    QCOMPARE(rig.link.Timer_Programm.isActive(), !endsSearch);
  }

  void closeFailureIsShownAndEndsNothingMore() {
    // A port that cannot be closed is reported through the window's hook;
    // the end goes no further, so no next step starts.
    Rig rig;
    QStringList shown;
    rig.link.hooks.showError = [&](const QString& message) { shown << message; };
    rig.link.sequencingState = kStateCyclicPoll;
    rig.link.echoGuard = 1;
    rig.link.SendReadHoldingRegisters(0, 30, kReplyStatus);
    rig.port.failClose = true;
    rig.port.Deliver(Reply("F70302 0014"));
    QVERIFY(rig.End(300) == false);
    QCOMPARE(shown, QStringList{QStringLiteral("PurgeComm function failed")});
    QVERIFY(rig.link.receivedCount != 0);
    QCOMPARE(int(rig.link.pendingReplyKind), int(kReplyStatus));
    QCOMPARE(int(rig.link.echoGuard), 1);
    QVERIFY(!rig.link.Timer_Programm.isActive());
  }

  void commandHeld_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("echoGuard");
    QTest::addColumn<bool>("checkEchoGuard");
    QTest::addColumn<bool>("outstanding");
    QTest::addColumn<bool>("held");
    QTest::addColumn<bool>("parked");
    QTest::newRow("idle, nothing awaited") << int(kStateIdle) << false << false << false << false << false;
    QTest::newRow("idle, reply awaited") << int(kStateIdle) << false << false << true << true << true;
    QTest::newRow("search") << int(kStateSearch) << false << false << false << true << false;
    QTest::newRow("search, reply awaited") << int(kStateSearch) << false << false << true << true << false;
    QTest::newRow("echo guard checked") << int(kStateIdle) << true << true << false << true << false;
    QTest::newRow("echo guard not checked") << int(kStateIdle) << true << false << false << false << false;
    QTest::newRow("poll, reply awaited") << int(kStateCyclicPoll) << false << false << true << true << true;
    QTest::newRow("poll, in the pause") << int(kStateCyclicPoll) << false << false << false << false << false;
  }
  void commandHeld() {
    QFETCH(int, state);
    QFETCH(bool, echoGuard);
    QFETCH(bool, checkEchoGuard);
    QFETCH(bool, outstanding);
    QFETCH(bool, held);
    QFETCH(bool, parked);
    Rig rig;
    rig.link.sequencingState = uint8_t(state);
    if (outstanding) rig.link.SendReadHoldingRegisters(0, 30, kReplyStatus);
    rig.link.echoGuard = echoGuard ? 1 : 0;
    int runs = 0;
    QCOMPARE(rig.link.CommandHeld([&] { ++runs; }, checkEchoGuard), held);
    QCOMPARE(bool(rig.link.deferredClick), parked);
    QCOMPARE(runs, 0);
  }

  void startOperationStartsItsFirstStep() {
    Rig rig;
    QSignalSpy ticks(&rig.link.Timer_Programm, &QTimer::timeout);
    rig.link.StartOperation(7, kStepIntervalMs);
    QCOMPARE(int(rig.link.sequencingState), 7);
    QCOMPARE(rig.link.Timer_Programm.interval(), kStepIntervalMs);
    QVERIFY(ticks.wait(500));
  }
};

QTEST_MAIN(TestBusLink)
#include "tst_bus_link.moc"
