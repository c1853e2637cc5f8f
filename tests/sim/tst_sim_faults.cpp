// Each fault mode does on the wire what it says, seen through a raw port.
#include "raw_port.h"
#include "sim_process.h"

#include <QtTest>

class TestSimFaults : public QObject {
    Q_OBJECT

private slots:
    void faultModes_data()
    {
        // The request: read register 0 of device 1 (a ТЕЛВАР-2, model 20).
        const QByteArray good = withCrc(fromHex("01 03 02 00 14"));
        QByteArray badCrc = good;
        badCrc[5] = char(badCrc[5] ^ 0xFF);
        badCrc[6] = char(badCrc[6] ^ 0xFF);

        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("expected"); // exact bytes; empty with garbageLength
        QTest::addColumn<int>("garbageLength");
        QTest::addColumn<int>("minGapMs"); // a pause inside the reply at least this long
        QTest::addColumn<QString>("outcome");

        QTest::newRow("none") << "none" << good << 0 << 0 << "ok";
        QTest::newRow("no-reply") << "no-reply" << QByteArray() << 0 << 0 << "fault:no-reply";
        QTest::newRow("bad-crc") << "bad-crc" << badCrc << 0 << 0 << "fault:bad-crc";
        QTest::newRow("exception, default code 4") << "exception" << withCrc(fromHex("01 83 04")) << 0 << 0
            << "fault:exception";
        QTest::newRow("exception 6") << "exception:6" << withCrc(fromHex("01 83 06")) << 0 << 0 << "fault:exception";
        QTest::newRow("split, 200 ms gap") << "split:200" << good << 0 << 180 << "fault:split";
        QTest::newRow("split, default gap 300 ms") << "split" << good << 0 << 280 << "fault:split";
        QTest::newRow("extra, default 3 bytes") << "extra" << good + fromHex("FF FF FF") << 0 << 0 << "fault:extra";
        QTest::newRow("extra 1") << "extra:1" << good + fromHex("FF") << 0 << 0 << "fault:extra";
        QTest::newRow("other-address 9") << "other-address:9" << withCrc(fromHex("09 03 02 00 14")) << 0 << 0
            << "fault:other-address";
        QTest::newRow("other-address, default next") << "other-address" << withCrc(fromHex("02 03 02 00 14")) << 0
            << 0 << "fault:other-address";
        QTest::newRow("garbage 20") << "garbage:20" << QByteArray() << 20 << 0 << "fault:garbage";
        QTest::newRow("garbage, default 8") << "garbage" << QByteArray() << 8 << 0 << "fault:garbage";
    }

    void faultModes()
    {
        QFETCH(QString, fault);
        QFETCH(QByteArray, expected);
        QFETCH(int, garbageLength);
        QFETCH(int, minGapMs);
        QFETCH(QString, outcome);

        SimProcess sim;
        QVERIFY2(sim.start({"--device", "1:20", "--fault", "1:" + fault}), qPrintable(sim.error()));
        RawPort port;
        QVERIFY(port.open(sim.link()));
        const QByteArray request = fromHex("01 03 00 00 00 01 84 0A");
        QVERIFY(port.write(request));
        const RawPort::Received got = port.read(500, minGapMs + 150);

        if (garbageLength > 0) {
            QCOMPARE(got.bytes.size(), garbageLength);
        } else {
            QCOMPARE(hexText(got.bytes), hexText(expected));
        }
        QVERIFY2(got.longestGapMs() >= minGapMs, qPrintable(QString::number(got.longestGapMs())));
        if (minGapMs == 0)
            QVERIFY2(got.longestGapMs() < 100, qPrintable(QString::number(got.longestGapMs())));

        const QList<SimLogLine> log = sim.waitForLog(1);
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].request, hexText(request));
        QCOMPARE(log[0].reply, hexText(got.bytes)); // the log tells what really went out
        QCOMPARE(log[0].outcome, outcome);
    }

    // A fault belongs to its device: the neighbour on the line answers well.
    void faultHitsOnlyItsDevice()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--device", "1:20", "--device", "2:3", "--fault", "1:no-reply"}),
                 qPrintable(sim.error()));
        RawPort port;
        QVERIFY(port.open(sim.link()));
        QVERIFY(port.write(withCrc(fromHex("02 03 00 00 00 01"))));
        QCOMPARE(hexText(port.read().bytes), hexText(withCrc(fromHex("02 03 02 00 03"))));
        QVERIFY(port.write(withCrc(fromHex("01 03 00 00 00 01"))));
        QVERIFY(port.read(300).bytes.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSimFaults)
#include "tst_sim_faults.moc"
