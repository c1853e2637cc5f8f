// mbpoll, an independent Modbus master, reads the simulator's registers.
#include "tests/sim/sim_process.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

struct MbpollResult {
    int exitCode = -1;
    QString output;
    QList<int> values;
};

MbpollResult mbpoll(const QString& port, int address, int start, int count)
{
    QProcess p;
    p.start(QStringLiteral(MBPOLL_PATH),
        {"-m", "rtu", "-a", QString::number(address), "-b", "9600", "-P", "none", "-t", "4:hex",
            "-0", "-r", QString::number(start), "-c", QString::number(count), "-o", "0.5", "-1",
            port});
    p.waitForFinished(5000);
    MbpollResult r;
    r.exitCode = p.exitCode();
    r.output = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    // Lines "[12]: \t0x3F1E"
    static const QRegularExpression line(
        R"(^\[(\d+)\]:\s+0x([0-9A-Fa-f]{4})\s*$)", QRegularExpression::MultilineOption);
    auto it = line.globalMatch(r.output);
    while (it.hasNext())
        r.values.append(it.next().captured(2).toInt(nullptr, 16));
    return r;
}

const QList<int> kSecondGenFactory = {
    0x0014,
    0x0001,
    0x0004,
    0x0003,
    0x0005,
    0x0000,
    0x0003,
    0x0006,
    0x0000,
    0x0125,
    0x0000,
    0x0000,
    0x3F1E,
    0xB852,
    0x3F00,
    0x0000,
    0x3F1E,
    0xB852,
    0x0000,
    0x00FF,
    0x0000,
    0x00FF,
    0x0000,
    0x0000,
    0x00FF,
    0x03E8,
    0x01F4,
    0x0000,
    0x0000,
    0x00FF,
};

} // namespace

class TestSimMbpoll : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QString(MBPOLL_PATH).isEmpty() || QString(MBPOLL_PATH).endsWith("NOTFOUND"))
            QSKIP("mbpoll is not installed");
    }

    void readsRegisters_data()
    {
        QTest::addColumn<QStringList>("devices");
        QTest::addColumn<QByteArray>("regFile"); // for the device marked FILE
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("start");
        QTest::addColumn<QList<int>>("expected");

        QTest::newRow("second generation, factory block")
            << QStringList {"1:20"} << QByteArray() << 1 << 0 << kSecondGenFactory;
        QTest::newRow("ТЕЛВАР-3 at 247: model and address")
            << QStringList {"247:21"} << QByteArray() << 247 << 0 << QList<int> {21, 247, 4};
        QTest::newRow("first generation, floats least significant byte first")
            << QStringList {"7:3"} << QByteArray() << 7 << 0
            << QList<int> {3, 7, 4, 0x0404, 0, 0, 0, 0x52B8, 0x1E3F, 0x0000, 0x003F, 0x0100, 0};
        QTest::newRow("ТЕЛВАР-1(EX)")
            << QStringList {"4:4"} << QByteArray() << 4 << 0 << QList<int> {4};
        QTest::newRow("registers outside the block: 80 and 131")
            << QStringList {"1:19"} << QByteArray() << 1 << 80 << QList<int> {0};
        QTest::newRow("second device on the same line")
            << QStringList {"1:20", "2:4", "3:21"} << QByteArray() << 3 << 0 << QList<int> {21, 3};
        QTest::newRow("register file over the factory block")
            << QStringList {"5:20:FILE"}
            << QByteArray("# ШС1 in alarm at 37 m\n3=5\n8 = 0x25\n\n12=0.5   # Ohm/m\n") << 5 << 3
            << QList<int> {5, 5, 0, 3, 6, 0x25, 0x125, 0, 0, 0x3F00, 0x0000};
        QTest::newRow("first-generation register file float")
            << QStringList {"9:3:FILE"} << QByteArray("9=0.62\n11=0x0300\n") << 9 << 9
            << QList<int> {0x52B8, 0x1E3F, 0x0300};
    }

    void readsRegisters()
    {
        QFETCH(QStringList, devices);
        QFETCH(QByteArray, regFile);
        QFETCH(int, address);
        QFETCH(int, start);
        QFETCH(QList<int>, expected);

        SimProcess sim;
        QStringList args;
        for (QString d : devices)
            args << "--device" << d.replace("FILE", sim.writeFile("regs.txt", regFile));
        QVERIFY2(sim.start(args), qPrintable(sim.error()));

        const MbpollResult r = mbpoll(sim.link(), address, start, expected.size());
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.values, expected);
        const QList<SimLogLine> log = sim.waitForLog(1);
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].outcome, QString("ok"));
    }

    // The 30-register status request gets the 65-byte reply with its CRC.
    void factoryReplyOnTheWire()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--device", "1:20"}), qPrintable(sim.error()));
        QCOMPARE(mbpoll(sim.link(), 1, 0, 30).exitCode, 0);
        const QList<SimLogLine> log = sim.waitForLog(1);
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].request, QString("01 03 00 00 00 1E C5 C2"));
        QCOMPARE(log[0].reply,
            QString(
                "01 03 3C 00 14 00 01 00 04 00 03 00 05 00 00 00 03 00 06 00 00 01 25 00 00 00 00 "
                "3F 1E B8 52 3F 00 00 00 3F 1E B8 52 00 00 00 FF 00 00 00 FF 00 00 00 00 00 FF 03 "
                "E8 01 F4 00 00 00 00 00 FF 4F 63"));
    }

    void outsideTheMapIsRefused_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("count");

        QTest::newRow("2nd gen register 30") << "1:20" << 30 << 1;
        QTest::newRow("2nd gen block one too long") << "1:20" << 0 << 31;
        QTest::newRow("2nd gen 79") << "1:20" << 79 << 1;
        QTest::newRow("2nd gen 80..81") << "1:20" << 80 << 2;
        QTest::newRow("2nd gen 132") << "1:20" << 132 << 1;
        QTest::newRow("1st gen 13") << "1:3" << 13 << 1;
        QTest::newRow("1st gen 2nd-gen block") << "1:3" << 0 << 30;
    }

    void outsideTheMapIsRefused()
    {
        QFETCH(QString, device);
        QFETCH(int, start);
        QFETCH(int, count);

        SimProcess sim;
        QVERIFY2(sim.start({"--device", device}), qPrintable(sim.error()));
        const MbpollResult r = mbpoll(sim.link(), 1, start, count);
        QVERIFY(r.exitCode != 0);
        QVERIFY2(r.output.contains("Illegal data address"), qPrintable(r.output));
        const QList<SimLogLine> log = sim.waitForLog(1);
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].outcome, QString("exception 2"));
        QVERIFY(log[0].reply.startsWith("01 83 02"));
    }

    // A request to an address where no device is gets no answer at all.
    void absentAddressTimesOut()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--device", "1:20"}), qPrintable(sim.error()));
        const MbpollResult r = mbpoll(sim.link(), 2, 0, 1);
        QVERIFY(r.exitCode != 0);
        QVERIFY(r.values.isEmpty());
        const QList<SimLogLine> log = sim.waitForLog(1);
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].reply, QString("-"));
        QCOMPARE(log[0].outcome, QString("not-mine"));
    }
};

QTEST_GUILESS_MAIN(TestSimMbpoll)
#include "tst_sim_mbpoll.moc"
