// The line itself: request framing on a pty, junk from the line, pacing and
// turnaround, reopening the port, and stopping.
#include "tests/sim/raw_port.h"
#include "tests/sim/sim_process.h"

#include <QFileInfo>
#include <QtTest>

class TestSimLine : public QObject {
    Q_OBJECT

private slots:
    // Whatever comes first, the device is still there for a good request.
    void junkFromTheLine_data()
    {
        QTest::addColumn<QByteArray>("junk");
        QTest::addColumn<QStringList>("outcomes"); // the log lines the junk makes

        QTest::newRow("one byte") << fromHex("01") << QStringList {"bad-request-crc"};
        QTest::newRow("random bytes")
            << fromHex("12 F3 00 9C 44 01 03 00") << QStringList {"bad-request-crc"};
        QTest::newRow("request with a wrong CRC")
            << fromHex("01 03 00 00 00 01 84 0B") << QStringList {"bad-request-crc"};
        QTest::newRow("unfinished request")
            << fromHex("01 10 00 0C 00 02 04 41") << QStringList {"bad-request-crc"};
        QTest::newRow("byte count beyond any buffer")
            << fromHex("01 10 00 00 00 7F FF 00 01") << QStringList {"bad-request-crc"};
        QTest::newRow("other function, good CRC")
            << BytesWithCrc(fromHex("01 2B 0E 01 00")) << QStringList {"exception 1"};
        QTest::newRow("function 4, good CRC")
            << BytesWithCrc(fromHex("01 04 00 00 00 01")) << QStringList {"exception 1"};
        QTest::newRow("not my address")
            << BytesWithCrc(fromHex("05 03 00 00 00 01")) << QStringList {"not-mine"};
        QTest::newRow("600 bytes of zeros")
            << QByteArray(600, '\0') << QStringList {"bad-request-crc"};
    }

    void junkFromTheLine()
    {
        QFETCH(QByteArray, junk);
        QFETCH(QStringList, outcomes);

        SimProcess sim;
        QVERIFY2(sim.start({"--device", "1:20", "--baud", "0"}), qPrintable(sim.error()));
        RawPort port;
        QVERIFY(port.open(sim.link()));
        QVERIFY(port.write(junk));
        port.read(150, 50); // whatever the junk earns
        const QByteArray request = fromHex("01 03 00 00 00 01 84 0A");
        QVERIFY(port.write(request));
        QCOMPARE(hexText(port.read().bytes), hexText(BytesWithCrc(fromHex("01 03 02 00 14"))));

        const QList<SimLogLine> log = sim.waitForLog(int(outcomes.size()) + 1);
        QStringList got; // a long run of junk may be logged in several pieces
        for (const SimLogLine& l : log) {
            if (got.isEmpty() || got.last() != l.outcome)
                got << l.outcome;
        }
        QCOMPARE(got, outcomes + QStringList {"ok"});
        QCOMPARE(log.last().request, hexText(request));
    }

    // Junk and a good request in one write: the junk is cut off, the request served.
    void junkThenRequestInOneWrite()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--device", "1:20", "--baud", "0"}), qPrintable(sim.error()));
        RawPort port;
        QVERIFY(port.open(sim.link()));
        QVERIFY(port.write(fromHex("AA 55 01 03") + fromHex("01 03 00 00 00 01 84 0A")));
        QCOMPARE(hexText(port.read().bytes), hexText(BytesWithCrc(fromHex("01 03 02 00 14"))));
        const QList<SimLogLine> log = sim.waitForLog(2);
        QCOMPARE(log.size(), 2);
        QCOMPARE(log[0].request, QString("AA 55 01 03"));
        QCOMPARE(log[0].outcome, QString("bad-request-crc"));
        QCOMPARE(log[1].outcome, QString("ok"));
    }

    // A request that arrives in two pieces is still one request.
    void requestInTwoWrites()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--device", "1:20", "--baud", "0"}), qPrintable(sim.error()));
        RawPort port;
        QVERIFY(port.open(sim.link()));
        QVERIFY(port.write(fromHex("01 10 00 19 00 01")));
        QVERIFY(port.write(fromHex("02 00 07") + QByteArray()));
        const QByteArray tail = BytesWithCrc(fromHex("01 10 00 19 00 01 02 00 07")).right(2);
        QVERIFY(port.write(tail));
        QCOMPARE(hexText(port.read().bytes), hexText(BytesWithCrc(fromHex("01 10 00 19 00 01"))));
    }

    // Reply bytes leave at the line rate after the turnaround.
    void pacing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("minFirstMs");
        QTest::addColumn<int>("minLastMs");
        QTest::addColumn<int>("maxLastMs");

        // The last of 65 bytes of 10 bits starts 64 byte times after the
        // first: 66.7 ms at 9600, 33.3 ms at 19200, 533 ms at 1200.
        QTest::newRow("9600, default turnaround") << QStringList {} << 4 << 70 << 250;
        QTest::newRow("19200") << QStringList {"--baud", "19200"} << 4 << 37 << 200;
        QTest::newRow("1200") << QStringList {"--baud", "1200"} << 4 << 536 << 900;
        QTest::newRow("turnaround 100 ms")
            << QStringList {"--turnaround-ms", "100", "--baud", "0"} << 100 << 100 << 250;
        QTest::newRow("no pacing, no turnaround")
            << QStringList {"--turnaround-ms", "0", "--baud", "0"} << 0 << 0 << 40;
    }

    void pacing()
    {
        QFETCH(QStringList, args);
        QFETCH(int, minFirstMs);
        QFETCH(int, minLastMs);
        QFETCH(int, maxLastMs);

        SimProcess sim;
        QVERIFY2(sim.start(args + QStringList {"--device", "1:20"}), qPrintable(sim.error()));
        RawPort port;
        QVERIFY(port.open(sim.link()));
        QVERIFY(port.write(fromHex("01 03 00 00 00 1E C5 C2")));
        const RawPort::Received got = port.read(1000, 100);
        QCOMPARE(got.bytes.size(), 65);
        QVERIFY2(got.atMs.first() >= minFirstMs, qPrintable(QString::number(got.atMs.first())));
        QVERIFY2(got.atMs.last() >= minLastMs, qPrintable(QString::number(got.atMs.last())));
        QVERIFY2(got.atMs.last() <= maxLastMs, qPrintable(QString::number(got.atMs.last())));
    }

    // The programs open and close the port for every transaction.
    void reopenBetweenTransactions()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--device", "1:20", "--baud", "0"}), qPrintable(sim.error()));
        for (int i = 0; i < 5; ++i) {
            RawPort port;
            QVERIFY(port.open(sim.link()));
            QVERIFY(port.write(fromHex("01 03 00 00 00 01 84 0A")));
            if (i == 2) {
                // Closes before the reply, which arrives while the port is
                // closed: those bytes must not reach the next transaction.
                port.close();
                QTest::qWait(50);
                continue;
            }
            QCOMPARE(hexText(port.read().bytes), hexText(BytesWithCrc(fromHex("01 03 02 00 14"))));
        }
        const QList<SimLogLine> log = sim.waitForLog(5);
        QCOMPARE(log.size(), 5);
    }

    void stopRemovesTheLink()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--device", "1:20"}), qPrintable(sim.error()));
        QVERIFY(QFileInfo(sim.link()).isSymLink());
        QVERIFY(sim.stop());
        QVERIFY(!QFileInfo::exists(sim.link()) && !QFileInfo(sim.link()).isSymLink());
    }

    // Unplugged and plugged in again: a new run on the same link, a port
    // opened afresh talks to it, and the log of each run is kept.
    void startAgainOnTheSameLink()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--device", "1:20"}), qPrintable(sim.error()));
        QVERIFY(!sim.start({"--device", "1:20"})); // one run at a time
        const QByteArray read1 = fromHex("01 03 00 00 00 01 84 0A");
        {
            RawPort port;
            QVERIFY(port.open(sim.link()));
            QVERIFY(port.write(read1));
            QCOMPARE(hexText(port.read().bytes), hexText(BytesWithCrc(fromHex("01 03 02 00 14"))));
        }
        QVERIFY(sim.stop());
        QVERIFY2(sim.start({"--device", "1:3"}), qPrintable(sim.error()));
        RawPort port;
        QVERIFY(port.open(sim.link()));
        QVERIFY(port.write(read1));
        QCOMPARE(hexText(port.read().bytes), hexText(BytesWithCrc(fromHex("01 03 02 00 03"))));
        const QList<SimLogLine> log = sim.waitForLog(2);
        QCOMPARE(log.size(), 2);
        QCOMPARE(log[0].reply, hexText(BytesWithCrc(fromHex("01 03 02 00 14"))));
        QCOMPARE(log[1].reply, hexText(BytesWithCrc(fromHex("01 03 02 00 03"))));
    }

    void badCommandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no device") << QStringList {"--link", "/tmp/x"};
        QTest::newRow("model 22") << QStringList {"--link", "/tmp/x", "--device", "1:22"};
        QTest::newRow("address 248") << QStringList {"--link", "/tmp/x", "--device", "248:20"};
        QTest::newRow("two devices at one address")
            << QStringList {"--link", "/tmp/x", "--device", "1:20", "--device", "1:3"};
        QTest::newRow("unknown fault")
            << QStringList {"--link", "/tmp/x", "--device", "1:20", "--fault", "1:slow"};
        QTest::newRow("fault for no device")
            << QStringList {"--link", "/tmp/x", "--device", "1:20", "--fault", "2:bad-crc"};
        QTest::newRow("script outside the map")
            << QStringList {"--link", "/tmp/x", "--device", "1:3", "--script", "1:10:13=1"};
        QTest::newRow("short by no register")
            << QStringList {"--link", "/tmp/x", "--device", "1:20", "--fault", "1:short:0"};
        QTest::newRow("fault count for no device")
            << QStringList {"--link", "/tmp/x", "--device", "1:20", "--fault-count", "2:1"};
        QTest::newRow("noise of no bytes")
            << QStringList {"--link", "/tmp/x", "--device", "1:20", "--noise", "100:0"};
        QTest::newRow("missing register file")
            << QStringList {"--link", "/tmp/x", "--device", "1:3:/nonexistent/regs"};
    }

    void badCommandLine()
    {
        QFETCH(QStringList, args);
        QProcess p;
        p.start(QStringLiteral(TELVAR_SIM_PATH), args);
        QVERIFY(p.waitForFinished(3000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardOutput().isEmpty()); // no ready line
    }
};

QTEST_GUILESS_MAIN(TestSimLine)
#include "tst_sim_line.moc"
