// The serial port component against real pseudo-terminals: the test plays
// the device on the master end, byte by byte and with real timing.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "serial/com_port.h"
#include "tests/serial/caught.h"
#include "tests/support/pty_pair.h"

using namespace std::chrono;
using telvar::EComPort;
using telvar::TBaudRate;
using telvar::TComPort;
using telvar::test::Caught;
using telvar::test::PtyPair;

Q_DECLARE_METATYPE(TBaudRate)

namespace {

int64_t MsSince(steady_clock::time_point t) { return duration_cast<milliseconds>(steady_clock::now() - t).count(); }

double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// A port as the window sets it up, on the slave end of a pty.
void SetUpLikeTheWindow(TComPort& port, const PtyPair& pty) {
  port.SetPort(pty.path());
  port.Timeouts.ReadInterval = 150;
}

// Records the receive notifications of a port; the handler reads readUpTo
// bytes of each (0: leaves them waiting).
struct RxRecorder {
  std::mutex mutex;
  std::vector<int> counts;
  int readUpTo = 0;
  QByteArray read;

  std::atomic<bool> entered{false};

  void attach(TComPort& port) {
    port.OnRxChar = [this](telvar::TCustomComPort& sender, int count) {
      entered = true;
      QByteArray bytes;
      if (readUpTo > 0) {
        bytes.resize(readUpTo);
        bytes.resize(sender.ReadPort(bytes.data(), readUpTo));
      }
      std::lock_guard lock(mutex);
      counts.push_back(count);
      read += bytes;
    };
  }
  int calls() {
    std::lock_guard lock(mutex);
    return int(counts.size());
  }
  std::vector<int> snapshot() {
    std::lock_guard lock(mutex);
    return counts;
  }
};

}  // namespace

class TestComPort : public QObject {
  Q_OBJECT

 private slots:
  void errorMessages_data();
  void errorMessages();
  void portDevicePath_data();
  void portDevicePath();

  void openFailsWithoutTouching_data();
  void openFailsWithoutTouching();
  void openAndCloseAreIdempotent();
  void secondPortOnSameDeviceIsRefused();
  void freshOpenStartsWithEmptyQueue();

  void lineSettings_data();
  void lineSettings();
  void settingsFoundAtOpeningAreRestored();

  void readTiming_data();
  void readTiming();
  void replyAtLineRateReadWithoutWakingPerByte();
  void readAndWriteRefuseBadArguments_data();
  void readAndWriteRefuseBadArguments();
  void writeReachesDevice();
  void writeTimesOutWhenDeviceDoesNotRead();

  void rxCharReportsWaitingCount_data();
  void rxCharReportsWaitingCount();
  void idlePortAndUnreadBytesUseNoCpu();
  void closeWakesReadBlockedInEventThread();
  void closeFromInsideHandler();
  void handlerExceptionEndsThreadQuietly();
  void hangUpEndsThreadQuietly();

  void setPortWhileClosedOnlyStores();
  void setPortWhileOpenReopens();
  void setPortToMissingDeviceEndsClosed();
  void setBaudRateRules();
  void badRateFailsWithCode7();
};

// --- errors and names -----------------------------------------------------------

void TestComPort::errorMessages_data() {
  QTest::addColumn<int>("code");
  QTest::addColumn<int>("platform");
  QTest::addColumn<QString>("message");
  QTest::newRow("open, errno") << 1 << 2 << "Unable to open com port (win error code: 2)";
  QTest::newRow("read, no platform code") << 3 << -1 << "ReadFile function failed";
  QTest::newRow("line settings") << 7 << 22 << "SetCommState function failed (win error code: 22)";
  QTest::newRow("platform code 0 is a code") << 2 << 0 << "WriteFile function failed (win error code: 0)";
  QTest::newRow("time-outs") << 8 << -1 << "SetCommTimeouts failed";
  QTest::newRow("last code") << 23 << -1 << "Registry error";
  QTest::newRow("led state") << 19 << -1 << "Cannot change led state if ComPort is selected";
  QTest::newRow("below the table") << 0 << -1 << "";
  QTest::newRow("above the table") << 24 << 5 << " (win error code: 5)";
}

void TestComPort::errorMessages() {
  QFETCH(int, code);
  QFETCH(int, platform);
  QFETCH(QString, message);
  const EComPort e(code, platform);
  QCOMPARE(QString::fromStdString(e.what()), message);
  QCOMPARE(e.ComErrorCode, code);
  QCOMPARE(e.PlatformErrorCode, platform);
}

void TestComPort::portDevicePath_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("path");
  QTest::newRow("plain name") << "ttyUSB0"
                              << "/dev/ttyUSB0";
  QTest::newRow("absolute path") << "/tmp/ttyV0"
                                 << "/tmp/ttyV0";
  QTest::newRow("relative path") << "./ttyV1"
                                 << "./ttyV1";
  QTest::newRow("windows name") << "COM1"
                                << "/dev/COM1";
  QTest::newRow("empty") << ""
                         << "/dev/";
}

void TestComPort::portDevicePath() {
  QFETCH(QString, name);
  QFETCH(QString, path);
  QCOMPARE(QString::fromStdString(telvar::PortDevicePath(name.toStdString())), path);
}

// --- opening and closing ------------------------------------------------------

void TestComPort::openFailsWithoutTouching_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<int>("errnoValue");
  QTest::newRow("missing path") << "missing" << ENOENT;
  QTest::newRow("missing name under /dev") << "missing-name" << ENOENT;
  QTest::newRow("regular file") << "file" << ENOTTY;
  QTest::newRow("/dev/null") << "null" << ENOTTY;
  QTest::newRow("directory") << "dir" << ENOTTY;
}

void TestComPort::openFailsWithoutTouching() {
  QFETCH(QString, kind);
  QFETCH(int, errnoValue);
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString file = dir.filePath("ttyLike");
  const QByteArray content("AT\r\n unchanged");
  {
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
  }
  struct stat before {};
  QCOMPARE(stat(QFile::encodeName(file).constData(), &before), 0);

  std::string name;
  if (kind == "missing") name = dir.filePath("no-such-tty").toStdString();
  if (kind == "missing-name") name = "telvar-no-such-tty-42";
  if (kind == "file") name = file.toStdString();
  if (kind == "null") name = "/dev/null";
  if (kind == "dir") name = dir.path().toStdString();

  TComPort port;
  port.SetPort(name);
  const EComPort e = Caught([&] { port.OpenPort(); });
  QCOMPARE(e.ComErrorCode, 1);
  QCOMPARE(e.PlatformErrorCode, errnoValue);
  QCOMPARE(QString::fromStdString(e.what()), QString("Unable to open com port (win error code: %1)").arg(errnoValue));
  QVERIFY(!port.Connected());
  QVERIFY(!port.EventThreadRunning());
  QCOMPARE(port.OpenPeriod(), uint64_t(0));

  QFile f(file);
  QVERIFY(f.open(QIODevice::ReadOnly));
  QCOMPARE(f.readAll(), content);
  struct stat after {};
  QCOMPARE(stat(QFile::encodeName(file).constData(), &after), 0);
  QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  QCOMPARE(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
}

void TestComPort::openAndCloseAreIdempotent() {
  PtyPair pty;
  QVERIFY(pty.ok());
  TComPort port;
  port.ClosePort();  // never opened: nothing happens
  SetUpLikeTheWindow(port, pty);
  RxRecorder rx;
  rx.attach(port);

  port.OpenPort();
  QVERIFY(port.Connected());
  QVERIFY(port.EventThreadRunning());
  QCOMPARE(port.OpenPeriod(), uint64_t(1));

  pty.send("abc");
  QTRY_COMPARE_WITH_TIMEOUT(rx.calls(), 1, 2000);
  // A second open must neither reopen (which would empty the queue) nor
  // start a second thread (which would report the next bytes twice).
  port.OpenPort();
  QCOMPARE(port.OpenPeriod(), uint64_t(1));
  pty.send("d");
  QTRY_COMPARE_WITH_TIMEOUT(rx.calls(), 2, 2000);
  QTest::qWait(100);
  QCOMPARE(rx.snapshot(), (std::vector<int>{3, 4}));
  port.Timeouts.ReadInterval = -1;
  char buffer[8] = {};
  QCOMPARE(port.ReadPort(buffer, 8), 4);
  QCOMPARE(QByteArray(buffer, 4), QByteArray("abcd"));

  port.ClosePort();
  QVERIFY(!port.Connected());
  QVERIFY(!port.EventThreadRunning());
  port.ClosePort();
  QVERIFY(!port.Connected());

  port.OpenPort();
  QCOMPARE(port.OpenPeriod(), uint64_t(2));
  QVERIFY(port.EventThreadRunning());
}

void TestComPort::secondPortOnSameDeviceIsRefused() {
  PtyPair pty;
  QVERIFY(pty.ok());
  TComPort first, second;
  first.SetPort(pty.path());
  second.SetPort(pty.path());
  first.OpenPort();
  const EComPort e = Caught([&] { second.OpenPort(); });
  QCOMPARE(e.ComErrorCode, 1);
  QVERIFY2(e.PlatformErrorCode == EWOULDBLOCK || e.PlatformErrorCode == EBUSY, e.what());
  QVERIFY(!second.Connected());
  QVERIFY(first.Connected());
  // The refused open must not have disturbed the first one.
  pty.send("x");
  first.Timeouts.ReadInterval = 100;
  char c = 0;
  QCOMPARE(first.ReadPort(&c, 1), 1);
  QCOMPARE(c, 'x');

  first.ClosePort();
  second.OpenPort();  // released by the close
  QVERIFY(second.Connected());
}

void TestComPort::freshOpenStartsWithEmptyQueue() {
  PtyPair pty;
  QVERIFY(pty.ok());
  TComPort port;
  port.SetPort(pty.path());
  port.OpenPort();
  pty.send("left over from the last period");
  QTest::qWait(50);
  port.ClosePort();
  pty.send("sent while closed");
  QTest::qWait(50);

  port.OpenPort();
  char buffer[64];
  QCOMPARE(port.ReadPort(buffer, sizeof buffer), 0);  // ReadInterval -1: at once
  pty.send("new");
  port.Timeouts.ReadInterval = 100;
  const int n = port.ReadPort(buffer, sizeof buffer);
  QCOMPARE(QByteArray(buffer, n), QByteArray("new"));
}

// --- line settings ----------------------------------------------------------------

void TestComPort::lineSettings_data() {
  QTest::addColumn<TBaudRate>("rate");
  QTest::addColumn<unsigned>("baud");
  QTest::newRow("1200") << TBaudRate::br1200 << 1200u;
  QTest::newRow("2400") << TBaudRate::br2400 << 2400u;
  QTest::newRow("4800") << TBaudRate::br4800 << 4800u;
  QTest::newRow("9600") << TBaudRate::br9600 << 9600u;
  QTest::newRow("14400 (no Bxxx constant)") << TBaudRate::br14400 << 14400u;
  QTest::newRow("19200") << TBaudRate::br19200 << 19200u;
  QTest::newRow("38400") << TBaudRate::br38400 << 38400u;
  QTest::newRow("57600") << TBaudRate::br57600 << 57600u;
  QTest::newRow("110") << TBaudRate::br110 << 110u;
  QTest::newRow("56000") << TBaudRate::br56000 << 56000u;
  QTest::newRow("115200") << TBaudRate::br115200 << 115200u;
  QTest::newRow("128000") << TBaudRate::br128000 << 128000u;
  QTest::newRow("256000") << TBaudRate::br256000 << 256000u;
}

void TestComPort::lineSettings() {
  QFETCH(TBaudRate, rate);
  QFETCH(unsigned, baud);
  PtyPair pty;
  QVERIFY(pty.ok());
  // Start from a cooked line with handshakes, as a terminal leaves it.
  termios t{};
  QCOMPARE(tcgetattr(pty.slave(), &t), 0);
  t.c_iflag |= IXON | IXOFF | ICRNL;
  t.c_cflag |= CRTSCTS | PARENB | CSTOPB;
  t.c_lflag |= ICANON | ECHO | ISIG;
  t.c_oflag |= OPOST | ONLCR;
  QCOMPARE(tcsetattr(pty.slave(), TCSANOW, &t), 0);

  TComPort port;
  port.SetPort(pty.path());
  port.SetBaudRate(rate);
  port.OpenPort();

  QCOMPARE(tcgetattr(pty.slave(), &t), 0);
  QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
  QCOMPARE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
  QCOMPARE(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
  QCOMPARE(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INPCK | ISTRIP), tcflag_t(0));
  QCOMPARE(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t(0));
  QCOMPARE(t.c_oflag & OPOST, tcflag_t(0));
  unsigned out = 0, in = 0;
  QVERIFY(telvar::test::ReadTtyRates(pty.slave(), &out, &in));
  QCOMPARE(out, baud);
  QCOMPARE(in, baud);

  // Raw means every byte value passes both ways unchanged.
  QByteArray all;
  for (int i = 0; i < 256; ++i) all += char(i);
  QCOMPARE(port.WritePort(all.constData(), int(all.size())), 256);
  QCOMPARE(pty.receive(256, 2000), all);
  pty.send(all);
  QByteArray back(256, 0);
  port.Timeouts.ReadInterval = 200;
  QCOMPARE(port.ReadPort(back.data(), 256), 256);
  QCOMPARE(back, all);
}

void TestComPort::settingsFoundAtOpeningAreRestored() {
  PtyPair pty;
  QVERIFY(pty.ok());
  termios found{};
  QCOMPARE(tcgetattr(pty.slave(), &found), 0);
  found.c_lflag |= ICANON | ECHO;
  cfsetispeed(&found, B4800);
  cfsetospeed(&found, B4800);
  QCOMPARE(tcsetattr(pty.slave(), TCSANOW, &found), 0);
  QCOMPARE(tcgetattr(pty.slave(), &found), 0);

  TComPort port;
  port.SetPort(pty.path());
  port.SetBaudRate(TBaudRate::br14400);
  port.OpenPort();
  termios now{};
  QCOMPARE(tcgetattr(pty.slave(), &now), 0);
  QVERIFY(now.c_lflag != found.c_lflag);
  port.ClosePort();

  QCOMPARE(tcgetattr(pty.slave(), &now), 0);
  QCOMPARE(now.c_iflag, found.c_iflag);
  QCOMPARE(now.c_oflag, found.c_oflag);
  QCOMPARE(now.c_cflag, found.c_cflag);
  QCOMPARE(now.c_lflag, found.c_lflag);
  QCOMPARE(cfgetospeed(&now), speed_t(B4800));
  unsigned out = 0, in = 0;
  QVERIFY(telvar::test::ReadTtyRates(pty.slave(), &out, &in));
  QCOMPARE(out, 4800u);
}

// --- reading and writing ----------------------------------------------------------

void TestComPort::readTiming_data() {
  QTest::addColumn<int>("interval");      // ReadInterval
  QTest::addColumn<int>("sent");          // bytes the device sends
  QTest::addColumn<int>("gapMs");         // between two bytes
  QTest::addColumn<int>("asked");         // ReadPort count
  QTest::addColumn<int>("expected");      // bytes returned
  QTest::addColumn<int>("minAfterLast");  // ms from the last byte to the return
  QTest::addColumn<int>("maxAfterLast");
  QTest::newRow("7 back to back: returns on the seventh") << 150 << 7 << 0 << 7 << 7 << 0 << 60;
  QTest::newRow("7 with 40 ms gaps: gaps below the interval") << 150 << 7 << 40 << 7 << 7 << 0 << 60;
  QTest::newRow("5 of 7: returns 150 ms after the fifth") << 150 << 5 << 10 << 7 << 5 << 140 << 260;
  QTest::newRow("10 sent, 4 asked: returns 4 at once") << 150 << 10 << 0 << 4 << 4 << 0 << 60;
  QTest::newRow("short interval") << 30 << 3 << 5 << 7 << 3 << 25 << 120;
  // The read sleeps through bytes still on the line, at most half the
  // interval: a device that stops half-way is noticed that much late at most.
  QTest::newRow("20 of 65, 2 ms apart, then silence") << 150 << 20 << 2 << 65 << 20 << 140 << 300;
}

void TestComPort::readTiming() {
  QFETCH(int, interval);
  QFETCH(int, sent);
  QFETCH(int, gapMs);
  QFETCH(int, asked);
  QFETCH(int, expected);
  QFETCH(int, minAfterLast);
  QFETCH(int, maxAfterLast);
  PtyPair pty;
  QVERIFY(pty.ok());
  TComPort port;
  port.SetPort(pty.path());
  port.Timeouts.ReadInterval = interval;
  port.OpenPort();

  QByteArray bytes;
  for (int i = 0; i < sent; ++i) bytes += char(0x30 + i);
  std::atomic<int64_t> lastByteNs{0};
  std::thread device([&] {
    std::this_thread::sleep_for(milliseconds(30));  // the read starts first and waits
    if (gapMs == 0) {
      pty.send(bytes);
    } else {
      for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i > 0) std::this_thread::sleep_for(milliseconds(gapMs));
        pty.send(bytes.mid(i, 1));
      }
    }
    lastByteNs = steady_clock::now().time_since_epoch().count();
  });
  QByteArray got(asked, 0);
  const int n = port.ReadPort(got.data(), asked);
  const auto returned = steady_clock::now();
  device.join();
  QCOMPARE(n, expected);
  QCOMPARE(got.left(n), bytes.left(n));
  const auto last = steady_clock::time_point(steady_clock::duration(lastByteNs.load()));
  const auto afterLast = duration_cast<milliseconds>(returned - last).count();
  QVERIFY2(afterLast >= minAfterLast && afterLast <= maxAfterLast,
           qPrintable(QString("returned %1 ms after the last byte").arg(afterLast)));
}

// Voluntary context switches of the calling thread so far: each wait that
// blocks counts one.
long ThreadWaits() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_nvcsw;
}

// A status reply arrives at 9600 baud, a byte every 1.04 ms. The read takes
// it whole, as soon as the last byte is there, without waking for each byte
// (which cost more CPU than everything else a poll does).
void TestComPort::replyAtLineRateReadWithoutWakingPerByte() {
  PtyPair pty;
  QVERIFY(pty.ok());
  TComPort port;
  SetUpLikeTheWindow(port, pty);
  port.OpenPort();

  constexpr int kReply = 65;
  QByteArray bytes;
  for (int i = 0; i < kReply; ++i) bytes += char(i);
  std::atomic<int64_t> lastByteNs{0};
  std::thread device([&] {
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (int i = 0; i < kReply; ++i) {
      next.tv_nsec += i == 0 ? 30'000'000 : 1'041'667;  // the read starts first
      if (next.tv_nsec >= 1'000'000'000) {
        next.tv_nsec -= 1'000'000'000;
        ++next.tv_sec;
      }
      clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
      pty.send(bytes.mid(i, 1));
    }
    lastByteNs = steady_clock::now().time_since_epoch().count();
  });
  QByteArray got(kReply, 0);
  const long waitsBefore = ThreadWaits();
  const int n = port.ReadPort(got.data(), kReply);
  const long waits = ThreadWaits() - waitsBefore;
  const auto returned = steady_clock::now();
  device.join();
  QCOMPARE(n, kReply);
  QCOMPARE(got, bytes);
  const auto last = steady_clock::time_point(steady_clock::duration(lastByteNs.load()));
  const auto afterLast = duration_cast<milliseconds>(returned - last).count();
  QVERIFY2(afterLast <= 60, qPrintable(QString("returned %1 ms after the last byte").arg(afterLast)));
  // A few waits: the first byte, a sleep for the rest, a byte or two more.
  // A late device adds two now and then; one per byte would be 65.
  QVERIFY2(waits <= 32, qPrintable(QString("%1 waits for %2 bytes").arg(waits).arg(kReply)));
}

void TestComPort::readAndWriteRefuseBadArguments_data() {
  QTest::addColumn<bool>("open");
  QTest::addColumn<bool>("write");
  QTest::addColumn<int>("count");
  QTest::addColumn<bool>("nullBuffer");
  QTest::addColumn<int>("code");
  QTest::addColumn<int>("platform");
  QTest::newRow("read while closed") << false << false << 4 << false << 3 << EBADF;
  QTest::newRow("write while closed") << false << true << 4 << false << 2 << EBADF;
  QTest::newRow("read, negative count") << true << false << -1 << false << 3 << EINVAL;
  QTest::newRow("write, negative count") << true << true << -5 << false << 2 << EINVAL;
  QTest::newRow("read, no buffer") << true << false << 4 << true << 3 << EINVAL;
  QTest::newRow("write, no buffer") << true << true << 4 << true << 2 << EINVAL;
  QTest::newRow("read of 0 bytes") << true << false << 0 << false << 0 << -1;
  QTest::newRow("write of 0 bytes") << true << true << 0 << true << 0 << -1;
}

void TestComPort::readAndWriteRefuseBadArguments() {
  QFETCH(bool, open);
  QFETCH(bool, write);
  QFETCH(int, count);
  QFETCH(bool, nullBuffer);
  QFETCH(int, code);
  QFETCH(int, platform);
  PtyPair pty;
  QVERIFY(pty.ok());
  TComPort port;
  port.SetPort(pty.path());
  port.Timeouts.ReadInterval = 150;
  if (open) port.OpenPort();
  char buffer[8] = {};
  char* b = nullBuffer ? nullptr : buffer;
  int result = -100;
  const EComPort e = Caught([&] { result = write ? port.WritePort(b, count) : port.ReadPort(b, count); });
  QCOMPARE(e.ComErrorCode, code);
  QCOMPARE(e.PlatformErrorCode, platform);
  if (code == 0) QCOMPARE(result, 0);
  QCOMPARE(port.Connected(), open);
}

void TestComPort::writeReachesDevice() {
  PtyPair pty;
  QVERIFY(pty.ok());
  TComPort port;
  SetUpLikeTheWindow(port, pty);
  port.OpenPort();
  const QByteArray request = QByteArray::fromHex("F7030000001E9159");  // eight bytes, zeros inside
  QCOMPARE(port.WritePort(request.constData(), int(request.size())), int(request.size()));
  QCOMPARE(pty.receive(int(request.size()), 2000), request);
}

void TestComPort::writeTimesOutWhenDeviceDoesNotRead() {
  PtyPair pty;
  QVERIFY(pty.ok());
  TComPort port;
  port.SetPort(pty.path());
  port.Timeouts.WriteTotalConstant = 200;
  port.Timeouts.WriteTotalMultiplier = 0;
  port.OpenPort();
  const QByteArray big(4 * 1024 * 1024, 'w');  // far more than a pty holds
  const auto start = steady_clock::now();
  const int written = port.WritePort(big.constData(), int(big.size()));
  const auto took = MsSince(start);
  QVERIFY2(written > 0 && written < big.size(), qPrintable(QString::number(written)));
  QVERIFY2(took >= 190 && took < 1000, qPrintable(QString("%1 ms").arg(took)));
  // The port is still usable: once the device reads, a small write goes through.
  QVERIFY(pty.receive(written, 5000).size() == written);
  QCOMPARE(port.WritePort("ok", 2), 2);
  QCOMPARE(pty.receive(2, 2000), QByteArray("ok"));
}

// --- the event thread -----------------------------------------------------------

void TestComPort::rxCharReportsWaitingCount_data() {
  QTest::addColumn<int>("readUpTo");
  QTest::addColumn<bool>("secondDuringRead");  // "de" comes while the handler reads "abc"
  QTest::addColumn<QList<int>>("expectedCounts");
  // The device sends "abc", then "de": a handler that reads nothing sees the
  // waiting count grow and is called once per arrival, never for old bytes.
  QTest::newRow("handler reads nothing") << 0 << false << QList<int>{3, 5};
  QTest::newRow("handler reads everything") << 64 << false << QList<int>{3, 2};
  // The arrival of "de" wakes the thread again, but the read took the bytes:
  // nothing is waiting, so nothing is reported.
  QTest::newRow("bytes read before the wake-up: no call with 0") << 64 << true << QList<int>{3};
}

void TestComPort::rxCharReportsWaitingCount() {
  QFETCH(int, readUpTo);
  QFETCH(bool, secondDuringRead);
  QFETCH(QList<int>, expectedCounts);
  PtyPair pty;
  QVERIFY(pty.ok());
  TComPort port;
  port.SetPort(pty.path());
  port.Timeouts.ReadInterval = 100;
  RxRecorder rx;
  rx.readUpTo = readUpTo;
  rx.attach(port);
  port.OpenPort();

  QTest::qWait(100);
  QCOMPARE(rx.calls(), 0);  // nothing arrived, nothing reported
  pty.send("abc");
  if (secondDuringRead) {
    QTRY_VERIFY_WITH_TIMEOUT(rx.entered.load(), 2000);
    pty.send("de");
  }
  QTRY_COMPARE_WITH_TIMEOUT(rx.calls(), 1, 2000);
  QTest::qWait(300);  // no more calls for bytes already reported
  QCOMPARE(rx.calls(), 1);
  if (!secondDuringRead) {
    pty.send("de");
    QTRY_COMPARE_WITH_TIMEOUT(rx.calls(), 2, 2000);
    QTest::qWait(300);
  }
  const std::vector<int> counts = rx.snapshot();
  QCOMPARE(QList<int>(counts.begin(), counts.end()), expectedCounts);
  if (readUpTo > 0) QCOMPARE(rx.read, QByteArray("abcde"));
  // And the thread goes on reporting.
  QVERIFY(port.EventThreadRunning());
  pty.send("f");
  QTRY_COMPARE_WITH_TIMEOUT(rx.calls(), int(expectedCounts.size()) + 1, 2000);
}

void TestComPort::idlePortAndUnreadBytesUseNoCpu() {
  PtyPair pty;
  QVERIFY(pty.ok());
  TComPort withHandler, withoutHandler;
  PtyPair other;
  QVERIFY(other.ok());
  withHandler.SetPort(pty.path());
  withoutHandler.SetPort(other.path());
  RxRecorder rx;  // reads nothing
  rx.attach(withHandler);
  withHandler.OpenPort();
  withoutHandler.OpenPort();
  pty.send("unread");
  other.send("unread too");
  QTRY_COMPARE_WITH_TIMEOUT(rx.calls(), 1, 2000);

  const double cpuBefore = ProcessCpuMs();
  std::this_thread::sleep_for(milliseconds(1000));
  const double cpu = ProcessCpuMs() - cpuBefore;
  QCOMPARE(rx.calls(), 1);
  QVERIFY2(cpu < 50, qPrintable(QString("%1 ms of CPU in a second").arg(cpu)));
  QVERIFY(withoutHandler.EventThreadRunning());
}

void TestComPort::closeWakesReadBlockedInEventThread() {
  PtyPair pty;
  QVERIFY(pty.ok());
  TComPort port;
  port.SetPort(pty.path());
  port.Timeouts.ReadInterval = 0;  // no time-out at all: waits for all 100 bytes
  std::atomic<bool> inRead{false};
  std::atomic<int> failure{0};
  std::atomic<int> platform{0};
  port.OnRxChar = [&](telvar::TCustomComPort& sender, int) {
    char buffer[100];
    inRead = true;
    try {
      sender.ReadPort(buffer, sizeof buffer);
    } catch (const EComPort& e) {
      failure = e.ComErrorCode;
      platform = e.PlatformErrorCode;
      throw;
    }
  };
  port.OpenPort();
  pty.send("z");
  QTRY_VERIFY_WITH_TIMEOUT(inRead.load(), 2000);
  QTest::qWait(50);
  QCOMPARE(failure.load(), 0);  // really blocked

  const auto start = steady_clock::now();
  port.ClosePort();
  const auto took = MsSince(start);
  QVERIFY2(took < 300, qPrintable(QString("close took %1 ms").arg(took)));
  QCOMPARE(failure.load(), 3);
  QCOMPARE(platform.load(), -1);
  QVERIFY(!port.Connected());
  QVERIFY(!port.EventThreadRunning());

  // The next period works as usual.
  port.OnRxChar = nullptr;
  port.OpenPort();
  QVERIFY(port.EventThreadRunning());
}

void TestComPort::closeFromInsideHandler() {
  PtyPair pty;
  QVERIFY(pty.ok());
  TComPort port;
  port.SetPort(pty.path());
  std::atomic<bool> returned{false};
  port.OnRxChar = [&](telvar::TCustomComPort& sender, int) {
    sender.ClosePort();
    returned = true;
  };
  port.OpenPort();
  pty.send("q");
  QTRY_VERIFY_WITH_TIMEOUT(returned.load(), 2000);
  QVERIFY(!port.Connected());
  // The device is free again at once.
  TComPort other;
  other.SetPort(pty.path());
  other.OpenPort();
  QVERIFY(other.Connected());
}

void TestComPort::handlerExceptionEndsThreadQuietly() {
  PtyPair pty;
  QVERIFY(pty.ok());
  TComPort port;
  port.SetPort(pty.path());
  std::atomic<int> calls{0};
  port.OnRxChar = [&](telvar::TCustomComPort&, int) {
    ++calls;
    throw std::runtime_error("handler failed");
  };
  port.OpenPort();
  pty.send("1");
  QTRY_VERIFY_WITH_TIMEOUT(!port.EventThreadRunning(), 2000);
  QVERIFY(port.Connected());
  pty.send("2");
  QTest::qWait(100);
  QCOMPARE(calls.load(), 1);  // no notifications any more
  port.OpenPort();            // still open: no new thread
  QVERIFY(!port.EventThreadRunning());
  char buffer[4];
  port.Timeouts.ReadInterval = 50;
  QCOMPARE(port.ReadPort(buffer, 4), 2);  // the port itself still works
  QCOMPARE(port.WritePort("x", 1), 1);

  port.ClosePort();
  port.OpenPort();
  QVERIFY(port.EventThreadRunning());
  pty.send("3");
  QTRY_COMPARE_WITH_TIMEOUT(calls.load(), 2, 2000);
}

void TestComPort::hangUpEndsThreadQuietly() {
  PtyPair pty;
  QVERIFY(pty.ok());
  TComPort port;
  port.SetPort(pty.path());
  RxRecorder rx;
  rx.attach(port);
  port.OpenPort();
  pty.closeMaster();
  QTRY_VERIFY_WITH_TIMEOUT(!port.EventThreadRunning(), 2000);
  QVERIFY(port.Connected());
  QCOMPARE(rx.calls(), 0);
  port.Timeouts.ReadInterval = 50;
  char c;
  const EComPort e = Caught([&] { port.ReadPort(&c, 1); });
  QCOMPARE(e.ComErrorCode, 3);
  QCOMPARE(e.PlatformErrorCode, EIO);
  const EComPort w = Caught([&] { port.WritePort("x", 1); });
  QCOMPARE(w.ComErrorCode, 2);
  QCOMPARE(w.PlatformErrorCode, EIO);
  port.ClosePort();
  QVERIFY(!port.Connected());
}

// --- assigning Port and BaudRate ------------------------------------------------

void TestComPort::setPortWhileClosedOnlyStores() {
  TComPort port;
  QCOMPARE(port.Port(), std::string("COM1"));
  port.SetPort("/nonexistent/ttyX");  // not opened now: no failure
  QCOMPARE(port.Port(), std::string("/nonexistent/ttyX"));
  QVERIFY(!port.Connected());
  PtyPair pty;
  QVERIFY(pty.ok());
  port.SetPort(pty.path());
  port.OpenPort();  // the stored name is used
  QVERIFY(port.Connected());
}

void TestComPort::setPortWhileOpenReopens() {
  PtyPair a, b;
  QVERIFY(a.ok() && b.ok());
  TComPort port;
  port.SetPort(a.path());
  port.OpenPort();
  a.send("waiting");
  QTest::qWait(50);
  port.SetPort(a.path());  // same name: nothing happens, the bytes stay
  QCOMPARE(port.OpenPeriod(), uint64_t(1));
  char buffer[16];
  QCOMPARE(port.ReadPort(buffer, sizeof buffer), 7);

  port.SetPort(b.path());
  QVERIFY(port.Connected());
  QVERIFY(port.EventThreadRunning());
  QCOMPARE(port.OpenPeriod(), uint64_t(2));
  QCOMPARE(port.WritePort("B", 1), 1);
  QCOMPARE(b.receive(1, 2000), QByteArray("B"));
  TComPort other;  // the old device was given up
  other.SetPort(a.path());
  other.OpenPort();
  QVERIFY(other.Connected());
}

void TestComPort::setPortToMissingDeviceEndsClosed() {
  PtyPair a;
  QVERIFY(a.ok());
  TComPort port;
  port.SetPort(a.path());
  port.OpenPort();
  const EComPort e = Caught([&] { port.SetPort("/nonexistent/ttyX"); });
  QCOMPARE(e.ComErrorCode, 1);
  QCOMPARE(e.PlatformErrorCode, ENOENT);
  QVERIFY(!port.Connected());
  QVERIFY(!port.EventThreadRunning());
  QCOMPARE(port.Port(), std::string("/nonexistent/ttyX"));
  TComPort other;
  other.SetPort(a.path());
  other.OpenPort();  // the old device was given up
}

void TestComPort::setBaudRateRules() {
  PtyPair pty;
  QVERIFY(pty.ok());
  TComPort port;
  port.SetPort(pty.path());
  unsigned out = 0, in = 0;

  port.SetBaudRate(TBaudRate::br19200);  // closed: stored, applied at the next open
  QVERIFY(telvar::test::ReadTtyRates(pty.slave(), &out, &in));
  QVERIFY(out != 19200u);
  port.OpenPort();
  QVERIFY(telvar::test::ReadTtyRates(pty.slave(), &out, &in));
  QCOMPARE(out, 19200u);

  // Same value while open: nothing is applied (a changed line would show).
  termios t{};
  QCOMPARE(tcgetattr(pty.slave(), &t), 0);
  t.c_cflag |= CSTOPB;
  QCOMPARE(tcsetattr(pty.slave(), TCSANOW, &t), 0);
  port.SetBaudRate(TBaudRate::br19200);
  QCOMPARE(tcgetattr(pty.slave(), &t), 0);
  QVERIFY(t.c_cflag & CSTOPB);

  port.SetBaudRate(TBaudRate::br14400);  // open: at once, whole line again
  QVERIFY(telvar::test::ReadTtyRates(pty.slave(), &out, &in));
  QCOMPARE(out, 14400u);
  QCOMPARE(in, 14400u);
  QCOMPARE(tcgetattr(pty.slave(), &t), 0);
  QVERIFY(!(t.c_cflag & CSTOPB));
  port.SetBaudRate(TBaudRate::br1200);
  QVERIFY(telvar::test::ReadTtyRates(pty.slave(), &out, &in));
  QCOMPARE(out, 1200u);
  QCOMPARE(port.BaudRate(), TBaudRate::br1200);
  QVERIFY(port.EventThreadRunning());
}

void TestComPort::badRateFailsWithCode7() {
  PtyPair pty;
  QVERIFY(pty.ok());
  TComPort port;
  port.SetPort(pty.path());
  port.CustomBaudRate = 0;
  port.OpenPort();
  EComPort e = Caught([&] { port.SetBaudRate(TBaudRate::brCustom); });
  QCOMPARE(e.ComErrorCode, 7);
  QCOMPARE(e.PlatformErrorCode, EINVAL);
  QCOMPARE(port.BaudRate(), TBaudRate::brCustom);  // stays as chosen
  QVERIFY(port.Connected());

  port.ClosePort();
  e = Caught([&] { port.OpenPort(); });  // the same line at opening
  QCOMPARE(e.ComErrorCode, 7);
  QVERIFY(!port.Connected());
  QCOMPARE(port.OpenPeriod(), uint64_t(1));
  TComPort other;  // nothing held after the failed open
  other.SetPort(pty.path());
  other.OpenPort();
}

QTEST_GUILESS_MAIN(TestComPort)
#include "tst_com_port.moc"
