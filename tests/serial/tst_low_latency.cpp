// The request for low latency a port makes of its driver at opening, and
// the driver's own setting given back at closing. A pseudo-terminal has no
// such setting: the shim linked into this test answers TIOCGSERIAL and
// TIOCSSERIAL on the pty slave as a USB serial driver would (granting or
// refusing), and records every such request the port makes.
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

#include <QtTest>

#include "serial/com_port.h"
#include "tests/serial/serial_info_shim.h"
#include "tests/support/pty_pair.h"

using telvar::TComPort;
using telvar::test::PtyPair;

namespace {

// A driver's setting with every field a user must send back unchanged.
serial_struct DriverSetting(int flags) {
  serial_struct s{};
  s.type = PORT_16550A;
  s.line = 3;
  s.flags = flags;
  s.xmit_fifo_size = 64;
  s.baud_base = 3000000;
  s.close_delay = 50;
  s.closing_wait = 3000;
  s.custom_divisor = 7;
  return s;
}

bool SameExceptFlags(const serial_struct& a, const serial_struct& b) {
  serial_struct x = a, y = b;
  x.flags = y.flags = 0;
  return std::memcmp(&x, &y, sizeof x) == 0;
}

// The port works as it would without the request: a request reaches the
// device, a reply comes back.
void CheckPortWorks(TComPort& port, const PtyPair& pty) {
  QVERIFY(port.Connected());
  const QByteArray request = QByteArray::fromHex("F7030000001E9159");
  QCOMPARE(port.WritePort(request.constData(), int(request.size())), int(request.size()));
  QCOMPARE(pty.receive(int(request.size()), 2000), request);
  pty.send("reply");
  port.Timeouts.ReadInterval = 100;
  char buffer[8] = {};
  QCOMPARE(port.ReadPort(buffer, 5), 5);
  QCOMPARE(QByteArray(buffer, 5), QByteArray("reply"));
}

}  // namespace

class TestLowLatency : public QObject {
  Q_OBJECT

 private slots:
  void init() { ResetSerialInfoShim(); }
  void cleanup() { ResetSerialInfoShim(); }

  void driverWithTheSetting_data();
  void driverWithTheSetting();
  void everyOpeningPeriodGivesTheSettingBack();
  void ptyRefusesAndNothingChanges();
};

void TestLowLatency::driverWithTheSetting_data() {
  QTest::addColumn<int>("foundFlags");
  QTest::addColumn<int>("refuseWith");  // 0: the driver grants the request
  QTest::addColumn<bool>("asks");

  QTest::newRow("granted, given back") << int(ASYNC_SKIP_TEST | ASYNC_BOOT_AUTOCONF) << 0 << true;
  QTest::newRow("granted, no other flag") << 0 << 0 << true;
  QTest::newRow("already low latency: not asked") << int(ASYNC_LOW_LATENCY | ASYNC_SKIP_TEST) << 0 << false;
  QTest::newRow("refused: not permitted") << 0 << EPERM << true;
  QTest::newRow("refused: bad argument") << 0 << EINVAL << true;
  QTest::newRow("refused: no such request") << 0 << ENOTTY << true;
  QTest::newRow("refused: device gone") << 0 << EIO << true;
}

void TestLowLatency::driverWithTheSetting() {
  QFETCH(int, foundFlags);
  QFETCH(int, refuseWith);
  QFETCH(bool, asks);
  PtyPair pty;
  QVERIFY(pty.ok());
  SerialInfoShim& shim = *SerialInfo();
  const serial_struct found = DriverSetting(foundFlags);
  shim.driver = found;
  shim.refuseSetWith = refuseWith;
  shim.armed = 1;

  TComPort port;
  port.SetPort(pty.path());
  port.OpenPort();  // a refusal is no failure: no exception

  // Opening: the setting is read; unless the flag is set, the same setting
  // with the flag added is asked for.
  QCOMPARE(shim.count, asks ? 2 : 1);
  QCOMPARE(shim.calls[0].request, (unsigned long)TIOCGSERIAL);
  QCOMPARE(shim.calls[0].result, 0);
  if (asks) {
    const SerialInfoCall& set = shim.calls[1];
    QCOMPARE(set.request, (unsigned long)TIOCSSERIAL);
    QCOMPARE(set.info.flags, foundFlags | int(ASYNC_LOW_LATENCY));
    QVERIFY(SameExceptFlags(set.info, found));
    QCOMPARE(set.result, refuseWith);
  }
  CheckPortWorks(port, pty);
  const int atOpening = shim.count;
  QCOMPARE(atOpening, asks ? 2 : 1);  // nothing more while the port is used

  // Closing: a granted request is undone with the setting as found; after
  // a refusal or without a request there is nothing to undo.
  port.ClosePort();
  const bool granted = asks && refuseWith == 0;
  QCOMPARE(shim.count, atOpening + (granted ? 1 : 0));
  if (granted) {
    const SerialInfoCall& back = shim.calls[atOpening];
    QCOMPARE(back.request, (unsigned long)TIOCSSERIAL);
    QVERIFY(std::memcmp(&back.info, &found, sizeof found) == 0);
  }
  QCOMPARE(shim.driver.flags, foundFlags);
  QVERIFY(SameExceptFlags(shim.driver, found));
}

// Each period asks anew and gives back at its end, also when the port is
// reopened for a new port name or ends with the component.
void TestLowLatency::everyOpeningPeriodGivesTheSettingBack() {
  PtyPair first, second;
  QVERIFY(first.ok() && second.ok());
  SerialInfoShim& shim = *SerialInfo();
  shim.driver = DriverSetting(0);
  shim.armed = 1;
  {
    TComPort port;
    port.SetPort(first.path());
    port.OpenPort();
    QCOMPARE(shim.driver.flags, int(ASYNC_LOW_LATENCY));
    port.SetPort(second.path());  // reopens on the new device
    QVERIFY(port.Connected());
    QCOMPARE(shim.driver.flags, int(ASYNC_LOW_LATENCY));
    QCOMPARE(shim.count, 5);  // read, ask; give back; read, ask
    QCOMPARE(shim.calls[2].request, (unsigned long)TIOCSSERIAL);
    QCOMPARE(shim.calls[2].info.flags, 0);
  }  // the component ends with the port open
  QCOMPARE(shim.count, 6);
  QCOMPARE(shim.calls[5].request, (unsigned long)TIOCSSERIAL);
  QCOMPARE(shim.calls[5].info.flags, 0);
  QCOMPARE(shim.driver.flags, 0);
}

// A real pseudo-terminal does not offer the request: the port asks for the
// setting once, is refused, asks nothing more and works as before.
void TestLowLatency::ptyRefusesAndNothingChanges() {
  PtyPair pty;
  QVERIFY(pty.ok());
  serial_struct none{};
  QCOMPARE(ioctl(pty.slave(), TIOCGSERIAL, &none), -1);  // the kernel's pty itself
  ResetSerialInfoShim();

  TComPort port;
  port.SetPort(pty.path());
  port.OpenPort();
  const SerialInfoShim& shim = *SerialInfo();
  QCOMPARE(shim.count, 1);
  QCOMPARE(shim.calls[0].request, (unsigned long)TIOCGSERIAL);
  QCOMPARE(shim.calls[0].result, ENOTTY);
  CheckPortWorks(port, pty);
  port.ClosePort();
  QCOMPARE(shim.count, 1);
}

QTEST_GUILESS_MAIN(TestLowLatency)
#include "tst_low_latency.moc"
