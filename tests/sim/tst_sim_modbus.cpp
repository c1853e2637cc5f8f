// A libmodbus RTU client writes the simulator's registers and reads them
// back, and meets the devices' own rules.
#include "tests/sim/sim_process.h"

#include <modbus/modbus.h>

#include <QtTest>

namespace {

// A libmodbus master on the link.
class Client {
public:
    explicit Client(const QString& port, int address)
    {
        ctx_ = modbus_new_rtu(port.toLocal8Bit().constData(), 9600, 'N', 8, 1);
        modbus_set_slave(ctx_, address);
        modbus_set_response_timeout(ctx_, 0, 300000);
        connected_ = modbus_connect(ctx_) == 0;
    }
    ~Client()
    {
        modbus_close(ctx_);
        modbus_free(ctx_);
    }
    bool connected() const { return connected_; }
    void setAddress(int address) { modbus_set_slave(ctx_, address); }

    // The registers, or an empty list with the errno in lastError.
    QList<int> read(int start, int count)
    {
        std::vector<uint16_t> regs(static_cast<size_t>(count));
        if (modbus_read_registers(ctx_, start, count, regs.data()) != count) {
            lastError = errno;
            return {};
        }
        return QList<int>(regs.begin(), regs.end());
    }
    // Function 6 for one value, 16 for several (or when forced).
    bool write(int start, const QList<int>& values, bool multiple = false)
    {
        int rc;
        if (values.size() == 1 && !multiple) {
            rc = modbus_write_register(ctx_, start, uint16_t(values[0]));
        } else {
            std::vector<uint16_t> regs(values.begin(), values.end());
            rc = modbus_write_registers(ctx_, start, int(regs.size()), regs.data());
        }
        if (rc < 0)
            lastError = errno;
        return rc >= 0;
    }
    int readInputRegister(int reg)
    {
        uint16_t v = 0;
        if (modbus_read_input_registers(ctx_, reg, 1, &v) < 0)
            lastError = errno;
        return lastError;
    }

    int lastError = 0;

private:
    modbus_t* ctx_ = nullptr;
    bool connected_ = false;
};

} // namespace

class TestSimModbus : public QObject {
    Q_OBJECT

private slots:
    void writeAndReadBack_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("multiple");
        QTest::addColumn<int>("start");
        QTest::addColumn<QList<int>>("written");
        QTest::addColumn<QList<int>>("readBack");

        QTest::newRow("2nd gen, 6: cable length")
            << "1:20" << false << 25 << QList<int> {1234} << QList<int> {1234};
        QTest::newRow("2nd gen, 6: flag")
            << "1:21" << false << 28 << QList<int> {255} << QList<int> {255};
        QTest::newRow("2nd gen, 16: float as written")
            << "1:20" << true << 12 << QList<int> {0x3F1E, 0xB852} << QList<int> {0x3F1E, 0xB852};
        QTest::newRow("2nd gen, 16: last six of the block")
            << "1:19" << true << 24 << QList<int> {0, 2000, 1, 65535, 255, 0}
            << QList<int> {0, 2000, 1, 65535, 255, 0};
        QTest::newRow("2nd gen, 16: one register")
            << "1:20" << true << 18 << QList<int> {1} << QList<int> {1};
        QTest::newRow("1st gen, 6: output logic")
            << "247:3" << false << 11 << QList<int> {0x0300} << QList<int> {0x0300};
        QTest::newRow("1st gen, 16: 0.62 into ШС1 reads back reversed")
            << "247:3" << true << 7 << QList<int> {0x3F1E, 0xB852} << QList<int> {0x52B8, 0x1E3F};
        QTest::newRow("1st gen, 16: 10.0 into ШС2 reads back reversed")
            << "247:4" << true << 9 << QList<int> {0x4120, 0x0000} << QList<int> {0x0000, 0x2041};
        QTest::newRow("1st gen, 16: both floats among plain registers")
            << "247:3" << true << 6 << QList<int> {0x1111, 0x3F1E, 0xB852, 0x3F00, 0x0000, 0x0200}
            << QList<int> {0x1111, 0x52B8, 0x1E3F, 0x0000, 0x003F, 0x0200};
        QTest::newRow("1st gen, 16: half a float is kept as sent")
            << "247:3" << true << 8 << QList<int> {0x1234} << QList<int> {0x1234};
        QTest::newRow("1st gen, 6: float register as sent")
            << "247:3" << false << 7 << QList<int> {0x3F1E} << QList<int> {0x3F1E};
    }

    void writeAndReadBack()
    {
        QFETCH(QString, device);
        QFETCH(bool, multiple);
        QFETCH(int, start);
        QFETCH(QList<int>, written);
        QFETCH(QList<int>, readBack);

        SimProcess sim;
        QVERIFY2(sim.start({"--device", device, "--baud", "0"}), qPrintable(sim.error()));
        Client client(sim.link(), device.section(':', 0, 0).toInt());
        QVERIFY(client.connected());
        QVERIFY2(client.write(start, written, multiple), modbus_strerror(client.lastError));
        QCOMPARE(client.read(start, int(readBack.size())), readBack);
        const QList<SimLogLine> log = sim.waitForLog(2);
        QCOMPARE(log.size(), 2);
        QCOMPARE(log[0].outcome, QString("ok"));
        QCOMPARE(log[0].request.mid(3, 2), QString(multiple || written.size() > 1 ? "10" : "06"));
    }

    // Requests the device refuses, and the register they aimed at stays.
    void refusals_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("reg");
        QTest::addColumn<QList<int>>("values");
        QTest::addColumn<int>("expectedErrno");
        QTest::addColumn<int>("unchanged"); // the register's value before and after

        QTest::newRow("outside the map, 6")
            << "1:20" << 30 << QList<int> {1} << int(EMBXILADD) << -1;
        QTest::newRow("outside the map, 16 across the end")
            << "1:20" << 29 << QList<int> {1, 2} << int(EMBXILADD) << 29;
        QTest::newRow("1st gen register 13")
            << "1:3" << 13 << QList<int> {1} << int(EMBXILADD) << -1;
        QTest::newRow("model without unlock")
            << "1:20" << 0 << QList<int> {21} << int(EMBXILFUN) << 0;
        QTest::newRow("calibration without unlock")
            << "1:20" << 80 << QList<int> {1} << int(EMBXILFUN) << 4;
        QTest::newRow("address 0") << "1:20" << 1 << QList<int> {0} << int(EMBXILVAL) << 1;
        QTest::newRow("address 248") << "1:3" << 1 << QList<int> {248} << int(EMBXILVAL) << 1;
        QTest::newRow("baud code 9") << "1:20" << 2 << QList<int> {9} << int(EMBXILVAL) << 2;
        QTest::newRow("baud code 0, 1st gen")
            << "1:4" << 2 << QList<int> {0} << int(EMBXILVAL) << 2;
    }

    void refusals()
    {
        QFETCH(QString, device);
        QFETCH(int, reg);
        QFETCH(QList<int>, values);
        QFETCH(int, expectedErrno);
        QFETCH(int, unchanged);

        SimProcess sim;
        QVERIFY2(sim.start({"--device", device, "--baud", "0"}), qPrintable(sim.error()));
        Client client(sim.link(), 1);
        QList<int> before;
        if (unchanged >= 0)
            before = client.read(unchanged, 1);
        QVERIFY(!client.write(reg, values));
        QCOMPARE(client.lastError, expectedErrno);
        if (unchanged >= 0)
            QCOMPARE(client.read(unchanged, 1), before);
    }

    void otherFunctionIsIllegal()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--device", "1:20", "--baud", "0"}), qPrintable(sim.error()));
        Client client(sim.link(), 1);
        QCOMPARE(client.readInputRegister(0), int(EMBXILFUN));
        QCOMPARE(sim.waitForLog(1).value(0).outcome, QString("exception 1"));
    }

    // The unlock code opens the model and the calibration to the very next
    // request to that device, and to nothing after it.
    void unlock_data()
    {
        QTest::addColumn<QString>("between"); // what comes between unlock and the guarded write
        QTest::addColumn<int>("unlockValue");
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("accepted");

        QTest::newRow("model right after") << "" << 0x5E2B << 0 << 21 << true;
        QTest::newRow("calibration right after") << "" << 0x5E2B << 80 << 1 << true;
        QTest::newRow("wrong code") << "" << 0x5E2C << 0 << 21 << false;
        QTest::newRow("a read in between") << "read" << 0x5E2B << 0 << 21 << false;
        QTest::newRow("a request to another device in between")
            << "other" << 0x5E2B << 80 << 1 << true;
        QTest::newRow("unlocked, model out of range") << "" << 0x5E2B << 0 << 3 << false;
        QTest::newRow("unlocked, loop 3") << "" << 0x5E2B << 80 << 3 << false;
    }

    void unlock()
    {
        QFETCH(QString, between);
        QFETCH(int, unlockValue);
        QFETCH(int, reg);
        QFETCH(int, value);
        QFETCH(bool, accepted);

        SimProcess sim;
        QVERIFY2(sim.start({"--device", "1:20", "--device", "2:20", "--baud", "0"}),
            qPrintable(sim.error()));
        Client client(sim.link(), 1);
        QVERIFY(client.write(131, {unlockValue}));
        if (between == "read") {
            QCOMPARE(client.read(131, 1), QList<int> {0});
        } else if (between == "other") {
            client.setAddress(2);
            QVERIFY(client.write(131, {0x5E2B}));
            client.setAddress(1);
        }
        QCOMPARE(client.write(reg, {value}), accepted);
        if (reg == 0)
            QCOMPARE(client.read(0, 1), QList<int> {accepted ? value : 20});
        if (reg == 80 &&
            accepted) { // the calibrated loop (ШС2 was in alarm) reads normal, distance 0
            QCOMPARE(client.read(3 + value, 1), QList<int> {3});
            QCOMPARE(client.read(8 + value, 1), QList<int> {0});
        }
        // The unlock is used up either way.
        QVERIFY(!client.write(0, {19}));
    }

    // Alarm reset: loops in alarm go back to normal; other loops stay.
    void alarmReset_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QByteArray>("regFile");
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("code");
        QTest::addColumn<QList<int>>("before"); // registers 3..10
        QTest::addColumn<QList<int>>("after");

        QTest::newRow("2nd gen, ШС2 in alarm")
            << "1:20" << QByteArray() << 23 << 0xAA55 << QList<int> {3, 5, 0, 3, 6, 0, 293, 0}
            << QList<int> {3, 3, 0, 3, 6, 0, 0, 0};
        QTest::newRow("2nd gen, two loops in alarm, one open")
            << "1:21" << QByteArray("3=5\n5=5\n4=2\n8=10\n10=30\n") << 23 << 0xAA55
            << QList<int> {5, 2, 5, 3, 6, 10, 293, 30} << QList<int> {3, 2, 3, 3, 6, 0, 293, 0};
        QTest::newRow("2nd gen, another value resets nothing")
            << "1:20" << QByteArray() << 23 << 0xAA56 << QList<int> {3, 5, 0, 3, 6, 0, 293, 0}
            << QList<int> {3, 5, 0, 3, 6, 0, 293, 0};
        QTest::newRow("2nd gen, sound reset leaves the alarm")
            << "1:20" << QByteArray() << 22 << 0xA55A << QList<int> {3, 5, 0, 3, 6, 0, 293, 0}
            << QList<int> {3, 5, 0, 3, 6, 0, 293, 0};
        QTest::newRow("1st gen, both loops in alarm")
            << "1:3" << QByteArray("3=0x0202\n4=150\n5=65535\n") << 12 << 0xAAAA
            << QList<int> {0x0202, 150, 65535, 0, 0x52B8, 0x1E3F, 0, 0x3F}
            << QList<int> {0x0404, 0, 0, 0, 0x52B8, 0x1E3F, 0, 0x3F};
        QTest::newRow("1st gen, ШС2 alarm, ШС1 open")
            << "1:3" << QByteArray("3=0x0208\n5=7\n") << 12 << 0xAAAA
            << QList<int> {0x0208, 0, 7, 0, 0x52B8, 0x1E3F, 0, 0x3F}
            << QList<int> {0x0408, 0, 0, 0, 0x52B8, 0x1E3F, 0, 0x3F};
        QTest::newRow("1st gen, 2nd-gen code resets nothing")
            << "1:3" << QByteArray("3=0x0002\n4=9\n") << 12 << 0xAA55
            << QList<int> {0x0002, 9, 0, 0, 0x52B8, 0x1E3F, 0, 0x3F}
            << QList<int> {0x0002, 9, 0, 0, 0x52B8, 0x1E3F, 0, 0x3F};
    }

    void alarmReset()
    {
        QFETCH(QString, device);
        QFETCH(QByteArray, regFile);
        QFETCH(int, reg);
        QFETCH(int, code);
        QFETCH(QList<int>, before);
        QFETCH(QList<int>, after);

        SimProcess sim;
        if (!regFile.isEmpty())
            device += ":" + sim.writeFile("regs.txt", regFile);
        QVERIFY2(sim.start({"--device", device, "--baud", "0"}), qPrintable(sim.error()));
        Client client(sim.link(), 1);
        QCOMPARE(client.read(3, 8), before);
        QVERIFY(client.write(reg, {code}));
        QCOMPARE(client.read(3, 8), after);
        QCOMPARE(client.read(reg, 1), QList<int> {0}); // a command register holds nothing
    }

    // The device answers from its old address, then takes the new one.
    void addressChange()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--device", "1:20", "--baud", "0"}), qPrintable(sim.error()));
        Client client(sim.link(), 1);
        QVERIFY2(client.write(1, {9}),
            modbus_strerror(client.lastError)); // libmodbus checks the reply's address
        QVERIFY(client.read(0, 1).isEmpty());
        QCOMPARE(client.lastError, ETIMEDOUT);
        client.setAddress(9);
        QCOMPARE(client.read(0, 3), (QList<int> {20, 9, 4}));
        const QList<SimLogLine> log = sim.waitForLog(3);
        QCOMPARE(log.size(), 3);
        QCOMPARE(log[0].reply, QString("01 06 00 01 00 09 18 0C"));
        QCOMPARE(log[1].outcome, QString("not-mine"));
    }

    // The baud code is recorded after the reply; the device goes on answering.
    void baudChange()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--device", "12:3", "--baud", "0"}), qPrintable(sim.error()));
        Client client(sim.link(), 12);
        QVERIFY(client.write(2, {6}));
        QCOMPARE(sim.waitForLog(1).value(0).reply, QString("0C 06 00 02 00 06 A9 15"));
        QCOMPARE(client.read(1, 2), (QList<int> {12, 6}));
    }

    // Broadcasts are carried out by every device and answered by none.
    void broadcast_data()
    {
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("expected"); // the register afterwards, on both devices

        QTest::newRow("sound reset to register 0 keeps the model") << 0 << 0xA55A << 20;
        QTest::newRow("flag to all") << 28 << 255 << 255;
        QTest::newRow("model without unlock is refused silently") << 0 << 19 << 20;
    }

    void broadcast()
    {
        QFETCH(int, reg);
        QFETCH(int, value);
        QFETCH(int, expected);

        SimProcess sim;
        QVERIFY2(sim.start({"--device", "1:20", "--device", "2:20", "--baud", "0"}),
            qPrintable(sim.error()));
        Client client(sim.link(), 0);
        // This libmodbus waits for a reply to a broadcast too, and times out.
        QVERIFY(client.write(reg, {value}) || client.lastError == ETIMEDOUT);
        const QList<SimLogLine> log = sim.waitForLog(1);
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].reply, QString("-"));
        QCOMPARE(log[0].outcome, QString("broadcast"));
        for (int address : {1, 2}) {
            client.setAddress(address);
            QCOMPARE(client.read(reg, 1), QList<int> {expected});
        }
        QCOMPARE(sim.log().size(), 3); // nothing answered the broadcast late
    }

    // A scripted step changes the device's state when it falls due.
    void scriptedAlarm()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--device", "3:19", "--baud", "0", "--script", "3:300:3=5,8=150",
                     "--script", "3:600:12=0.25"}),
            qPrintable(sim.error()));
        Client client(sim.link(), 3);
        QCOMPARE(client.read(3, 1), QList<int> {3});
        QTRY_COMPARE_WITH_TIMEOUT(client.read(3, 6), (QList<int> {5, 5, 0, 3, 6, 150}), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(client.read(12, 2), (QList<int> {0x3E80, 0x0000}), 2000);
    }

    // The log shows the exact frames, as the consoles' tests will parse them.
    void logLineFormat()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--device", "247:3", "--baud", "0"}), qPrintable(sim.error()));
        Client client(sim.link(), 247);
        QVERIFY(client.write(12, {0xAAAA}));
        const QList<SimLogLine> log = sim.waitForLog(1);
        QCOMPARE(log.size(), 1);
        QVERIFY2(QRegularExpression(R"(^\d+\.\d{3}$)").match(log[0].time).hasMatch(),
            qPrintable(log[0].time));
        QCOMPARE(log[0].request, QString("F7 06 00 0C AA AA A3 80"));
        QCOMPARE(log[0].reply, QString("F7 06 00 0C AA AA A3 80"));
        QCOMPARE(log[0].outcome, QString("ok"));
    }
};

QTEST_GUILESS_MAIN(TestSimModbus)
#include "tst_sim_modbus.moc"
