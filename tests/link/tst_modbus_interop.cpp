// Our requests of functions 3, 6 and 16 answered by an independent Modbus
// RTU server (libmodbus) at the far end of a pseudo-terminal pair.
#include <fcntl.h>
#include <modbus/modbus.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include <QtTest>

#include "link/bus_link.h"
#include "link/traffic_log.h"
#include "serial/com_port.h"
#include "serial/com_port_binding.h"

using namespace telvar;

namespace {

// A libmodbus RTU server with 40 holding registers at address 1, serving
// the master side of a pty on a thread of its own.
class ModbusServer {
 public:
  ModbusServer() {
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) qFatal("openpty failed");
    termios raw{};
    tcgetattr(slave_, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave_, TCSANOW, &raw);
    path_ = name;
    context_ = modbus_new_rtu("/dev/null", 9600, 'N', 8, 1);
    modbus_set_slave(context_, 1);
    modbus_set_socket(context_, master_);
    modbus_set_indication_timeout(context_, 0, 100'000);
    mapping_ = modbus_mapping_new(0, 0, 40, 0);
    for (int i = 0; i < 40; ++i) mapping_->tab_registers[i] = uint16_t(0x1000 + i);
    thread_ = std::thread([this] { Serve(); });
  }
  ~ModbusServer() {
    stop_ = true;
    thread_.join();
    modbus_mapping_free(mapping_);
    modbus_free(context_);  // the master descriptor is ours to close
    close(master_);
    close(slave_);
  }
  QString Path() const { return QString::fromLatin1(path_); }
  uint16_t Register(int i) const { return mapping_->tab_registers[i]; }

 private:
  void Serve() {
    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    while (!stop_) {
      const int n = modbus_receive(context_, query);
      if (n > 0) modbus_reply(context_, query, n, mapping_);
    }
  }
  int master_ = -1;
  int slave_ = -1;  // kept open: the client end closes between transactions
  QByteArray path_;
  modbus_t* context_ = nullptr;
  modbus_mapping_t* mapping_ = nullptr;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace

class TestModbusInterop : public QObject {
  Q_OBJECT
 private slots:
  void functions3And6And16() {
    ModbusServer server;
    TComPort port;
    port.SetPort(server.Path().toStdString());
    ComPortBinding binding(port);
    TrafficLog log;
    BusLink link(binding, log);
    link.deviceAddress = 1;
    QSignalSpy ended(&link, &BusLink::transactionEnded);
    QByteArray decoded;
    link.hooks.statusDecoder = [&] {
      decoded = QByteArray(reinterpret_cast<const char*>(link.frame.data()), link.receivedCount);
      return uint8_t(kReplyStatus);
    };

    QVERIFY(link.SendReadHoldingRegisters(0, 30, kReplyStatus));
    QVERIFY(ended.wait(2000));
    QCOMPARE(log.Lines().last(), kLineOk);
    QCOMPARE(decoded.size(), 65);
    QCOMPARE(decoded.mid(0, 7).toHex(' '), QByteArray("01 03 3c 10 00 10 01"));

    QVERIFY(link.SendWriteSingleRegister(23, 0xAA55, kReplyCommand));
    QVERIFY(ended.wait(2000));
    // A write is answered by its own echo.
    QCOMPARE(log.Lines().mid(1), (QStringList{"RX" + log.Lines().first().mid(2), kLineOk}));
    QVERIFY(log.Lines().first().startsWith("TX : 01 06 00 17 AA 55 "));
    QCOMPARE(server.Register(23), uint16_t(0xAA55));

    FrameBuffer request{};
    const uint8_t length = BuildWriteFloat(request, 1, 12, 0.62f);
    QVERIFY(link.SendFrame(request, length, 8, kReplyCalibration));
    QVERIFY(ended.wait(2000));
    QCOMPARE(log.Lines().last(), kLineOk);
    QCOMPARE(server.Register(12), uint16_t(0x3F1E));
    QCOMPARE(server.Register(13), uint16_t(0xB852));

    // An address the server does not have: silence, then the time-out line.
    link.deviceAddress = 2;
    QVERIFY(link.SendWriteSingleRegister(23, 1, kReplyCommand));
    QVERIFY(ended.wait(2000));
    QCOMPARE(log.Lines().last(), kLineTimeOut);
  }
};

QTEST_MAIN(TestModbusInterop)
#include "tst_modbus_interop.moc"
