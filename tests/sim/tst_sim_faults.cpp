// Each fault mode does on the wire what it says, seen through a raw port.
#include "tests/sim/raw_port.h"
#include "tests/sim/sim_process.h"

#include <QtTest>

namespace {

// Device 1, a ТЕЛВАР-2, under the fault, and a raw port open on its line.
bool startWithFault(SimProcess& sim, RawPort& port, const QString& fault)
{
    return sim.start({"--device", "1:20", "--fault", "1:" + fault}) && port.open(sim.link());
}

} // namespace

class TestSimFaults : public QObject {
    Q_OBJECT

private slots:
    void faultModes_data()
    {
        // The request: read register 0 of device 1 (a ТЕЛВАР-2, model 20).
        const QByteArray good = BytesWithCrc(fromHex("01 03 02 00 14"));
        QByteArray badCrc = good;
        badCrc[5] = char(badCrc[5] ^ 0xFF);
        badCrc[6] = char(badCrc[6] ^ 0xFF);

        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("expected"); // exact bytes; empty with garbageLength
        QTest::addColumn<int>("garbageLength");
        QTest::addColumn<int>("minGapMs"); // a pause inside the reply at least this long
        QTest::addColumn<int>(
            "minDelayMs"); // the first byte no earlier than this after the request
        QTest::addColumn<QString>("outcome");

        QTest::newRow("none") << "none" << good << 0 << 0 << 0 << "ok";
        QTest::newRow("no-reply") << "no-reply" << QByteArray() << 0 << 0 << 0 << "fault:no-reply";
        QTest::newRow("bad-crc") << "bad-crc" << badCrc << 0 << 0 << 0 << "fault:bad-crc";
        QTest::newRow("exception, default code 4")
            << "exception" << BytesWithCrc(fromHex("01 83 04")) << 0 << 0 << 0 << "fault:exception";
        QTest::newRow("exception 6") << "exception:6" << BytesWithCrc(fromHex("01 83 06")) << 0 << 0
                                     << 0 << "fault:exception";
        QTest::newRow("split, 200 ms gap") << "split:200" << good << 0 << 180 << 0 << "fault:split";
        QTest::newRow("split, default gap 300 ms")
            << "split" << good << 0 << 280 << 0 << "fault:split";
        QTest::newRow("extra, default 3 bytes")
            << "extra" << good + fromHex("FF FF FF") << 0 << 0 << 0 << "fault:extra";
        QTest::newRow("extra 1") << "extra:1" << good + fromHex("FF") << 0 << 0 << 0
                                 << "fault:extra";
        QTest::newRow("other-address 9")
            << "other-address:9" << BytesWithCrc(fromHex("09 03 02 00 14")) << 0 << 0 << 0
            << "fault:other-address";
        QTest::newRow("other-address, default next")
            << "other-address" << BytesWithCrc(fromHex("02 03 02 00 14")) << 0 << 0 << 0
            << "fault:other-address";
        QTest::newRow("garbage 20")
            << "garbage:20" << QByteArray() << 20 << 0 << 0 << "fault:garbage";
        QTest::newRow("short, default one register")
            << "short" << BytesWithCrc(fromHex("01 03 00")) << 0 << 0 << 0 << "fault:short";
        QTest::newRow("long by 2 registers")
            << "long:2" << BytesWithCrc(fromHex("01 03 06 00 14 00 00 00 00")) << 0 << 0 << 0
            << "fault:long";
        QTest::newRow("late, 400 ms") << "late:400" << good << 0 << 0 << 380 << "fault:late";
        QTest::newRow("garbage, default 8")
            << "garbage" << QByteArray() << 8 << 0 << 0 << "fault:garbage";
    }

    void faultModes()
    {
        QFETCH(QString, fault);
        QFETCH(QByteArray, expected);
        QFETCH(int, garbageLength);
        QFETCH(int, minGapMs);
        QFETCH(int, minDelayMs);
        QFETCH(QString, outcome);

        SimProcess sim;
        RawPort port;
        QVERIFY2(startWithFault(sim, port, fault), qPrintable(sim.error()));
        const QByteArray request = fromHex("01 03 00 00 00 01 84 0A");
        QVERIFY(port.write(request));
        const RawPort::Received got = port.read(500 + minDelayMs, minGapMs + 150);

        if (garbageLength > 0) {
            QCOMPARE(got.bytes.size(), garbageLength);
        } else {
            QCOMPARE(hexText(got.bytes), hexText(expected));
        }
        QVERIFY2(got.longestGapMs() >= minGapMs, qPrintable(QString::number(got.longestGapMs())));
        if (minGapMs == 0)
            QVERIFY2(got.longestGapMs() < 100, qPrintable(QString::number(got.longestGapMs())));
        if (!got.atMs.isEmpty()) {
            QVERIFY2(got.atMs.first() >= minDelayMs, qPrintable(QString::number(got.atMs.first())));
            QVERIFY2(
                got.atMs.first() < minDelayMs + 150, qPrintable(QString::number(got.atMs.first())));
        }

        const QList<SimLogLine> log = sim.waitForLog(1);
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].request, hexText(request));
        QCOMPARE(log[0].reply, hexText(got.bytes)); // the log tells what really went out
        QCOMPARE(log[0].outcome, outcome);
    }

    // The line goes away after the first bytes of the reply: the far end
    // reads them, then the hang-up; the simulator exits and takes its link.
    void unplugEndsTheLine_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray good = BytesWithCrc(fromHex("01 03 02 00 14"));
        QTest::newRow("3 bytes") << "unplug:3" << good.left(3);
        QTest::newRow("default: half the reply") << "unplug" << good.left(3);
        QTest::newRow("before the first byte") << "unplug:0" << QByteArray();
    }

    void unplugEndsTheLine()
    {
        QFETCH(QString, fault);
        QFETCH(QByteArray, expected);
        SimProcess sim;
        RawPort port;
        QVERIFY2(startWithFault(sim, port, fault), qPrintable(sim.error()));
        QVERIFY(port.write(fromHex("01 03 00 00 00 01 84 0A")));
        QCOMPARE(hexText(port.read(1000, 300).bytes), hexText(expected));
        QTRY_COMPARE(sim.process().state(), QProcess::NotRunning);
        QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.process().exitCode(), 0);
        QVERIFY(!QFileInfo::exists(sim.link()));
        const QList<SimLogLine> log = sim.log();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].reply, hexText(expected));
        QCOMPARE(log[0].outcome, QStringLiteral("fault:unplug"));
    }

    // --fault-count: the fault hits the next N requests, then the device
    // answers well; requests to another device do not count.
    void faultCountLimitsTheFault()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--device", "1:20", "--device", "2:3", "--fault", "1:no-reply",
                     "--fault-count", "1:2"}),
            qPrintable(sim.error()));
        RawPort port;
        QVERIFY(port.open(sim.link()));
        const QByteArray read1 = fromHex("01 03 00 00 00 01 84 0A");
        for (const QByteArray& request :
            {read1, BytesWithCrc(fromHex("02 03 00 00 00 01")), read1, read1}) {
            QVERIFY(port.write(request));
            port.read(300);
        }
        QStringList outcomes;
        for (const SimLogLine& line : sim.waitForLog(4))
            outcomes << line.outcome;
        QCOMPARE(outcomes, (QStringList {"fault:no-reply", "ok", "fault:no-reply", "ok"}));
    }

    // --noise: bytes nobody asked for go out on the idle line at their time,
    // and the log has them once they are out.
    void noiseOnTheIdleLine()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--device", "1:20", "--noise", "200:5", "--noise", "400:2"}),
            qPrintable(sim.error()));
        RawPort port;
        QVERIFY(port.open(sim.link()));
        QElapsedTimer clock;
        clock.start();
        const QList<SimLogLine> first = sim.waitForLog(1);
        QCOMPARE(first.size(), 1);
        const QByteArray five = port.read(100, 50).bytes;
        QCOMPARE(five.size(), 5); // all out when the log line is there
        QCOMPARE(first[0].request, QStringLiteral("-"));
        QCOMPARE(first[0].reply, hexText(five));
        QCOMPARE(first[0].outcome, QStringLiteral("noise"));
        const QList<SimLogLine> both = sim.waitForLog(2);
        QCOMPARE(both.size(), 2);
        QCOMPARE(port.read(100, 50).bytes.size(), 2);
        QVERIFY(both[1].time.toDouble() - both[0].time.toDouble() >= 0.15);
        // The device still answers afterwards.
        QVERIFY(port.write(fromHex("01 03 00 00 00 01 84 0A")));
        QCOMPARE(hexText(port.read().bytes), hexText(BytesWithCrc(fromHex("01 03 02 00 14"))));
    }

    // A fault belongs to its device: the neighbour on the line answers well.
    void faultHitsOnlyItsDevice()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--device", "1:20", "--device", "2:3", "--fault", "1:no-reply"}),
            qPrintable(sim.error()));
        RawPort port;
        QVERIFY(port.open(sim.link()));
        QVERIFY(port.write(BytesWithCrc(fromHex("02 03 00 00 00 01"))));
        QCOMPARE(hexText(port.read().bytes), hexText(BytesWithCrc(fromHex("02 03 02 00 03"))));
        QVERIFY(port.write(BytesWithCrc(fromHex("01 03 00 00 00 01"))));
        QVERIFY(port.read(300).bytes.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSimFaults)
#include "tst_sim_faults.moc"
