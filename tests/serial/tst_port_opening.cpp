// Opening the port: what is not a terminal is refused before it is opened
// for reading or writing, and the event thread of a fresh opening finds the
// component complete even when bytes are waiting at once.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "link/bus_link.h"
#include "link/traffic_log.h"
#include "serial/com_port.h"
#include "serial/com_port_binding.h"
#include "tests/serial/caught.h"
#include "tests/serial/open_watch.h"
#include "tests/support/pty_pair.h"

using namespace std::chrono;
using telvar::EComPort;
using telvar::TComPort;
using telvar::TCustomComPort;
using telvar::test::Caught;
using telvar::test::OpenWatch;
using telvar::test::PtyPair;

namespace {

int ThreadCount() {
  int count = 0;
  if (DIR* d = opendir("/proc/self/task")) {
    while (const dirent* e = readdir(d))
      if (e->d_name[0] != '.') ++count;
    closedir(d);
  }
  return count;
}

void MakeRaw(int fd) {
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
}

}  // namespace

class TestPortOpening : public QObject {
  Q_OBJECT

 private slots:
  void notATerminalIsNeverOpened_data();
  void notATerminalIsNeverOpened();
  void terminalsAreOpened_data();
  void terminalsAreOpened();
  void refusedDeviceGetsThePortErrorLine_data();
  void refusedDeviceGetsThePortErrorLine();
  void handlerClosingAtOnceFindsTheOpeningComplete();
  void nameWithANulByteIsNotCut();
};

// What each row names: a path made in a fresh folder, or /dev/null itself.
static QString MakeDevice(const QString& kind, const QTemporaryDir& dir) {
  const QString path = dir.filePath("ttyLike");
  const QByteArray p = QFile::encodeName(path);
  if (kind == "/dev/null") return "/dev/null";
  if (kind == "null node") return mknod(p.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0 ? path : QString();
  if (kind == "fifo") return mkfifo(p.constData(), 0666) == 0 ? path : QString();
  if (kind == "regular file") {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return {};
    f.write("AT\r\n");
    return path;
  }
  if (kind == "link to a fifo") {
    const QByteArray fifo = QFile::encodeName(dir.filePath("fifo"));
    if (mkfifo(fifo.constData(), 0666) != 0 || symlink(fifo.constData(), p.constData()) != 0) return {};
    return dir.filePath("fifo");  // the watch is on the object the link leads to
  }
  return {};
}

void TestPortOpening::notATerminalIsNeverOpened_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<bool>("watched");  // /dev/null is opened by everyone: no watch
  QTest::newRow("/dev/null: a character device, not a tty") << "/dev/null" << false;
  // The same device at a node of our own, where only this test can open it.
  QTest::newRow("null device at a private node") << "null node" << true;
  QTest::newRow("fifo") << "fifo" << true;
  QTest::newRow("regular file") << "regular file" << true;
  QTest::newRow("link to a fifo") << "link to a fifo" << true;
}

void TestPortOpening::notATerminalIsNeverOpened() {
  QFETCH(QString, kind);
  QFETCH(bool, watched);
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString watchedPath = MakeDevice(kind, dir);
  if (watchedPath.isEmpty()) QSKIP("cannot make the node here (mknod needs CAP_MKNOD)");
  const QString name = kind == "link to a fifo" ? dir.filePath("ttyLike") : watchedPath;
  OpenWatch watch(watchedPath);
  if (watched) QVERIFY(watch.ok());

  TComPort port;
  port.SetPort(name.toStdString());
  const EComPort e = Caught([&] { port.OpenPort(); });
  QCOMPARE(e.ComErrorCode, 1);
  QCOMPARE(e.PlatformErrorCode, ENOTTY);
  QVERIFY(!port.Connected());
  QVERIFY(!port.EventThreadRunning());
  QCOMPARE(port.OpenPeriod(), uint64_t(0));
  if (!watched) return;
  QCOMPARE(watch.Take(), 0u);

  // The watch does see an open: one of our own, for reading.
  const int fd = ::open(QFile::encodeName(watchedPath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  QVERIFY(fd >= 0);
  ::close(fd);
  QVERIFY(watch.Take() & IN_OPEN);
}

void TestPortOpening::terminalsAreOpened_data() {
  QTest::addColumn<bool>("throughLink");
  QTest::newRow("pseudo-terminal slave") << false;
  QTest::newRow("link to a pseudo-terminal slave") << true;
}

// The refusal must not catch what is a terminal: a pty slave (which has no
// entry in the kernel's device classes) and a link to one, as a line
// simulator makes.
void TestPortOpening::terminalsAreOpened() {
  QFETCH(bool, throughLink);
  PtyPair pty;
  QVERIFY(pty.ok());
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  std::string name = pty.path();
  if (throughLink) {
    name = dir.filePath("ttyV0").toStdString();
    QCOMPARE(symlink(pty.path().c_str(), name.c_str()), 0);
  }
  TComPort port;
  port.SetPort(name);
  port.OpenPort();
  QVERIFY(port.Connected());
  QVERIFY(port.EventThreadRunning());
  QCOMPARE(port.WritePort("ok", 2), 2);
  QCOMPARE(pty.receive(2, 2000), QByteArray("ok"));
}

void TestPortOpening::refusedDeviceGetsThePortErrorLine_data() {
  QTest::addColumn<QString>("kind");
  QTest::newRow("/dev/null") << "/dev/null";
  QTest::newRow("fifo") << "fifo";
  QTest::newRow("regular file") << "regular file";
}

// Through the bus link as the window uses it: the request line, the reply
// placeholder and the port-error line with the name; nothing written.
void TestPortOpening::refusedDeviceGetsThePortErrorLine() {
  QFETCH(QString, kind);
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString path = MakeDevice(kind, dir);
  QVERIFY(!path.isEmpty());
  OpenWatch watch(path);
  QVERIFY(watch.ok());

  TComPort port;
  port.SetPort(path.toStdString());
  telvar::ComPortBinding binding(port);
  telvar::TrafficLog log;
  telvar::BusLink link(binding, log);
  link.deviceAddress = 1;
  QSignalSpy ended(&link, &telvar::BusLink::transactionEnded);
  QVERIFY(!link.SendReadHoldingRegisters(0, 1, telvar::kReplyStatus));
  QVERIFY(log.Lines().size() >= 2);
  QCOMPARE(log.Lines().last(), QStringLiteral("   : ОШИБКА ОТКРЫТИЯ ПОРТА ") + path);
  QVERIFY(!port.Connected());
  QVERIFY(!ended.wait(200));
  if (path != "/dev/null") QCOMPARE(watch.Take(), 0u);
}

// Bytes waiting at the moment of opening make the event thread call the
// handler at once; a handler that closes the port from inside must then find
// the opening complete (its own thread stored, so that the close stops it)
// and read in order. The device keeps the line full, so that bytes arrive
// right after the fresh open has emptied the queue, at every opening.
void TestPortOpening::handlerClosingAtOnceFindsTheOpeningComplete() {
  PtyPair pty;
  QVERIFY(pty.ok());
  MakeRaw(pty.slave());  // what a close restores: no echo, no line editing
  QCOMPARE(fcntl(pty.master(), F_SETFL, fcntl(pty.master(), F_GETFL) | O_NONBLOCK), 0);
  const int threadsBefore = ThreadCount();

  std::atomic<bool> stop{false};
  std::thread device([&] {
    unsigned char next = 0;
    unsigned char chunk[64];
    while (!stop) {
      for (unsigned i = 0; i < sizeof chunk; ++i) chunk[i] = static_cast<unsigned char>(next + i);
      const ssize_t n = ::write(pty.master(), chunk, sizeof chunk);
      if (n > 0) {
        next = static_cast<unsigned char>(next + n);
      } else {
        pollfd p{pty.master(), POLLOUT, 0};
        poll(&p, 1, 5);
      }
    }
  });

  TComPort port;
  port.SetPort(pty.path());  // reads return at once with what is waiting
  std::mutex mutex;
  std::condition_variable cv;
  int handled = 0;
  int incomplete = 0;  // calls that found no event thread of their own
  int unordered = 0;   // reads whose bytes were not in the order sent
  int stillOpen = 0;   // closes from inside that left the port open
  port.OnRxChar = [&](TCustomComPort& sender, int) {
    const bool complete = sender.EventThreadRunning();
    unsigned char bytes[256];
    const int n = sender.ReadPort(bytes, sizeof bytes);
    int gaps = 0;
    for (int i = 1; i < n; ++i)
      if (bytes[i] != static_cast<unsigned char>(bytes[i - 1] + 1)) ++gaps;
    sender.ClosePort();
    const bool open = sender.Connected();
    std::lock_guard lock(mutex);
    incomplete += complete ? 0 : 1;
    unordered += gaps > 0 ? 1 : 0;
    stillOpen += open ? 1 : 0;
    ++handled;
    cv.notify_all();
  };

  constexpr int kOpenings = 300;
  int timedOut = 0;
  for (int i = 0; i < kOpenings && timedOut == 0; ++i) {
    port.OpenPort();
    std::unique_lock lock(mutex);
    if (!cv.wait_for(lock, seconds(2), [&] { return handled == i + 1; })) ++timedOut;
  }
  stop = true;
  device.join();
  QCOMPARE(timedOut, 0);
  QCOMPARE(handled, kOpenings);
  QCOMPARE(incomplete, 0);
  QCOMPARE(unordered, 0);
  QCOMPARE(stillOpen, 0);
  QVERIFY(!port.Connected());
  QVERIFY(!port.EventThreadRunning());
  // Every event thread has ended: none was left behind by a skipped stop.
  QTRY_COMPARE_WITH_TIMEOUT(ThreadCount(), threadsBefore, 3000);
}

// The name a port list file gives may hold any byte; one with a NUL in it
// must not open the terminal named by the bytes before the NUL.
void TestPortOpening::nameWithANulByteIsNotCut() {
  PtyPair pty;
  QVERIFY(pty.ok());
  TComPort port;
  port.SetPort(pty.path() + std::string("\0x", 2));
  const EComPort failure = telvar::test::Caught([&] { port.OpenPort(); });
  QCOMPARE(failure.ComErrorCode, 1);
  QCOMPARE(failure.PlatformErrorCode, ENOENT);
  QVERIFY(!port.Connected());
}

QTEST_MAIN(TestPortOpening)
#include "tst_port_opening.moc"
