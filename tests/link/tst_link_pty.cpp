// The transaction cycle through the real serial port component, with a
// device played byte by byte at the far end of a pseudo-terminal pair.
#include <QtTest>

#include "link/bus_link.h"
#include "link/traffic_log.h"
#include "serial/com_port.h"
#include "serial/com_port_binding.h"
#include "tests/support/crc.h"
#include "tests/support/pty_device.h"

using namespace telvar;
using telvar::testing::PtyDevice;
using telvar::testing::WithCrc;
using Pieces = std::vector<PtyDevice::Piece>;

Q_DECLARE_METATYPE(Pieces)

namespace {

QString Line(const QString& prefix, const QByteArray& bytes) {
  return ByteLines(prefix, reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size()).join('\n');
}

struct Rig {
  Rig() {
    port.SetPort(device.Path().toStdString());
    link.deviceAddress = 1;
    link.hooks.readTimeoutMs = [this] { return readTimeoutMs; };
  }
  // Sends a read of one register at register 0 and waits for its end.
  bool ReadOne(const Pieces& pieces, int waitMs = 3000) {
    device.Answer(pieces);
    clock.start();
    if (!link.SendReadHoldingRegisters(0, 1, kReplyCommand)) return false;
    const bool ended = spy.wait(waitMs);
    endedAfterMs = clock.elapsed();
    endedAt = PtyDevice::Clock::now();
    device.Finish();
    return ended;
  }
  // Milliseconds from the answer's last byte to the end of the transaction.
  double QuietMs() const { return std::chrono::duration<double, std::milli>(endedAt - device.LastByteAt()).count(); }

  PtyDevice device;
  TComPort port;
  ComPortBinding binding{port};
  TrafficLog log;
  BusLink link{binding, log};
  QSignalSpy spy{&link, &BusLink::transactionEnded};
  int readTimeoutMs = 400;
  QElapsedTimer clock;
  qint64 endedAfterMs = 0;
  PtyDevice::Clock::time_point endedAt;
};

const QByteArray kRequest = QByteArray::fromHex("010300000001840A");
const QByteArray kGood = WithCrc("010302 0014");

}  // namespace

class TestLinkPty : public QObject {
  Q_OBJECT
 private slots:
  void replies_data() {
    QTest::addColumn<Pieces>("pieces");
    QTest::addColumn<QByteArray>("taken");  // the reply bytes the log shows
    QTest::addColumn<QStringList>("status");
    QTest::addColumn<int>("minQuietMs");
    QTest::addColumn<int>("maxQuietMs");  // -1: not measured

    QTest::newRow("good reply") << Pieces{{5, kGood}} << kGood << QStringList{kLineOk} << 4 << 60;
    QTest::newRow("short reply, taken 150 ms after its last byte")
        << Pieces{{5, kGood.left(5)}} << kGood.left(5) << QStringList{kLineCrcError} << 145 << 260;
    const QByteArray exception = WithCrc("018302");
    QTest::newRow("exception reply") << Pieces{{5, exception}} << exception << QStringList{kLineError} << 145 << 260;
    const QByteArray spoiled = WithCrc("018302", true);
    QTest::newRow("exception with a wrong CRC")
        << Pieces{{5, spoiled}} << spoiled << QStringList{kLineError, kLineCrcError} << 145 << 260;
    const QByteArray longer = WithCrc("010304 0014 0015");
    QTest::newRow("longer reply: cut, never joined")
        << Pieces{{5, longer}} << longer.left(7) << QStringList{kLineCrcError} << 0 << 60;
    QTest::newRow("reply in two pieces 300 ms apart: never joined")
        << Pieces{{5, kGood.left(4)}, {300, kGood.mid(4)}} << kGood.left(4) << QStringList{kLineCrcError} << -1
        << -1;  // ended before the second part was sent
  }
  void replies() {
    QFETCH(Pieces, pieces);
    QFETCH(QByteArray, taken);
    QFETCH(QStringList, status);
    QFETCH(int, minQuietMs);
    QFETCH(int, maxQuietMs);
    Rig rig;
    QVERIFY(rig.ReadOne(pieces));
    QCOMPARE(rig.device.Request(), kRequest);
    QCOMPARE(rig.log.Lines(), QStringList{Line(kRequestPrefix, kRequest)} << Line(kReplyPrefix, taken) << status);
    if (minQuietMs >= 0)
      QVERIFY2(rig.QuietMs() >= minQuietMs && rig.QuietMs() <= maxQuietMs, qPrintable(QString::number(rig.QuietMs())));
    QVERIFY(!rig.port.Connected());
  }

  void timeOutAndLateReply() {
    Rig rig;
    rig.readTimeoutMs = 300;
    QVERIFY(rig.ReadOne({}));
    QCOMPARE(rig.log.Lines(), (QStringList{Line(kRequestPrefix, kRequest), kPlaceholder, kLineTimeOut}));
    QVERIFY(rig.endedAfterMs >= 295 && rig.endedAfterMs < 450);

    // A reply that comes after its time-out finds the port closed and is
    // lost: the next transaction sees only its own reply.
    QVERIFY(rig.ReadOne({{450, WithCrc("010302 0099")}}));
    QCOMPARE(rig.log.Lines().last(), kLineTimeOut);
    QVERIFY(rig.ReadOne({{5, kGood}}));
    QCOMPARE(rig.log.Lines(), (QStringList{Line(kRequestPrefix, kRequest), Line(kReplyPrefix, kGood), kLineOk}));
  }

  void replyStillArrivingWhenTheTimeOutRunsOut() {
    // The time-out covers the whole reply: a slow trickle is cut off by the
    // end of the transaction, whose close wakes the blocked read at once.
    Rig rig;
    rig.readTimeoutMs = 350;
    Pieces trickle;
    for (char byte : kGood) trickle.push_back({100, QByteArray(1, byte)});
    QVERIFY(rig.ReadOne(trickle));
    QVERIFY2(rig.endedAfterMs >= 345 && rig.endedAfterMs < 420, qPrintable(QString::number(rig.endedAfterMs)));
    QCOMPARE(rig.log.Lines().last(), kLineTimeOut);
    QVERIFY(!rig.port.Connected());
  }

  void portThatCannotBeOpened() {
    Rig rig;
    rig.port.SetPort("/nonexistent/ttyV9");
    rig.link.echoGuard = 1;
    QVERIFY(!rig.link.SendReadHoldingRegisters(0, 1, kReplyStatus));
    QCOMPARE(rig.log.Lines(), (QStringList{Line(kRequestPrefix, kRequest), kPlaceholder,
                                           "   : ОШИБКА ОТКРЫТИЯ ПОРТА /nonexistent/ttyV9"}));
    QVERIFY(!rig.spy.wait(300));  // no transaction end follows
    QCOMPARE(rig.link.echoGuard, uint8_t(0));
  }

  void gateParksAClickDuringThePoll() {
    Rig rig;
    rig.link.sequencingState = kStateCyclicPoll;
    rig.device.Answer({{100, kGood}});
    QVERIFY(rig.link.SendReadHoldingRegisters(0, 1, kReplyCommand));
    qint64 sentAfterEndMs = -1;
    QElapsedTimer sinceEnd;
    std::function<void()> alarmReset = [&] {
      if (rig.link.CommandGate(alarmReset)) return;
      sentAfterEndMs = sinceEnd.elapsed();
      rig.link.SendWriteSingleRegister(23, 0xAA55, kReplyCommand);
    };
    alarmReset();  // clicked while the status reply is awaited: parked
    QCOMPARE(rig.link.deferredClick, uint8_t(1));
    QVERIFY(rig.spy.wait(2000));
    sinceEnd.start();
    QVERIFY(rig.device.Finish());
    rig.device.Answer({{5, WithCrc("010600 17AA55")}});
    QVERIFY(rig.spy.wait(2000));
    QVERIFY(rig.device.Finish());
    QCOMPARE(rig.device.Request(), WithCrc("010600 17AA55"));
    QVERIFY2(sentAfterEndMs >= 19 && sentAfterEndMs < 80, qPrintable(QString::number(sentAfterEndMs)));
    QCOMPARE(rig.log.Lines().last(), kLineOk);
    // The poll goes on 500 ms after the command's own transaction.
    QVERIFY(rig.link.Timer_Programm.isActive());
    QCOMPARE(rig.link.Timer_Programm.interval(), 500);
  }
};

QTEST_MAIN(TestLinkPty)
#include "tst_link_pty.moc"
