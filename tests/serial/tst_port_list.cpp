// The platform port list on a fake sysfs tree, the real 8250 check where the
// machine has a ttyS0, the fallback file, and the captions of port names.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <memory>
#include <vector>

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include "serial/tty_class_list.h"
#include "tests/serial/open_watch.h"
#include "tests/support/pty_pair.h"

using telvar::PlatformPortList;
using telvar::ReadComportsFile;
using telvar::ReadPlatformPortList;
using telvar::test::OpenWatch;

namespace {

// A /sys/class/tty look-alike: the class entries are links into a devices
// tree, as in sysfs; a port's device has a driver link into a drivers tree.
class FakeSysfs {
 public:
  FakeSysfs() {
    QDir root(dir_.path());
    root.mkpath("class/tty");
    root.mkpath("devices");
    root.mkpath("drivers");
  }
  bool valid() const { return dir_.isValid(); }
  QString classDir() const { return dir_.filePath("class/tty"); }
  QString path(const QString& relative) const { return dir_.filePath(relative); }

  // The UART type the serial core shows beside the entry.
  bool setType(const QString& name, const QByteArray& text) {
    QFile f(dir_.filePath("devices/tty/" + name + "/type"));
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
  }
  // A terminal without a device (virtual consoles, ptmx).
  void addVirtual(const QString& name) { addEntry(name); }
  // A port whose device is driven by driver ("" for a device without one).
  void addPort(const QString& name, const QString& driver) {
    const QString entry = addEntry(name);
    const QString device = dir_.filePath("devices/dev-" + name);
    QDir().mkpath(device);
    QFile::link(device, entry + "/device");
    if (!driver.isEmpty()) {
      const QString driverDir = dir_.filePath("drivers/" + driver);
      QDir().mkpath(driverDir);
      QFile::link(driverDir, device + "/driver");
    }
  }

 private:
  QString addEntry(const QString& name) {
    const QString real = dir_.filePath("devices/tty/" + name);
    QDir().mkpath(real);
    QFile::link(real, classDir() + "/" + name);
    return real;
  }
  QTemporaryDir dir_;
};

// An 8250 check that accepts the names given and records what it was asked.
struct FakeProbe {
  QSet<QString> present;
  QStringList asked;
  telvar::UartProbe fn() {
    return [this](const QString& path) {
      asked << path;
      return present.contains(QFileInfo(path).fileName());
    };
  }
};

using Lines = QList<QByteArray>;

// A comports.txt with content in dir; its path, or "" when it cannot be written.
QString WriteComports(const QTemporaryDir& dir, const QByteArray& content) {
  QFile f(dir.filePath("comports.txt"));
  if (!dir.isValid() || !f.open(QIODevice::WriteOnly) || f.write(content) != content.size()) return QString();
  return f.fileName();
}

// How much the process has read with read(2) so far.
qint64 BytesReadByProcess() {
  QFile io("/proc/self/io");
  if (!io.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : io.readAll().split('\n')) {
    if (line.startsWith("rchar: ")) return line.mid(7).toLongLong();
  }
  return -1;
}

}  // namespace

class TestPortList : public QObject {
  Q_OBJECT
 private slots:
  void naturalLess_data();
  void naturalLess();

  void entryIsListed_data();
  void entryIsListed();
  void listIsOrderedAndCapped_data();
  void listIsOrderedAndCapped();
  void unreadableDirectoryIsNotOpened_data();
  void unreadableDirectoryIsNotOpened();
  void uartTypeReadFromSysfs_data();
  void uartTypeReadFromSysfs();
  void realListOpensNoPort();
  void realUartCheck_data();
  void realUartCheck();
  void realPlatformList();

  void comportsFile_data();
  void comportsFile();
  void comportsFileReadOnlyAsFarAsNeeded_data();
  void comportsFileReadOnlyAsFarAsNeeded();
  void comportsFileThatCannotBeOpened_data();
  void comportsFileThatCannotBeOpened();
  void portCaption_data();
  void portCaption();
};

void TestPortList::naturalLess_data() {
  QTest::addColumn<QString>("a");
  QTest::addColumn<QString>("b");
  QTest::addColumn<bool>("aFirst");  // a before b (and then b not before a)
  QTest::newRow("2 before 10") << "ttyS2"
                               << "ttyS10" << true;
  QTest::newRow("10 after 9") << "ttyUSB10"
                              << "ttyUSB9" << false;
  QTest::newRow("by letters first") << "ttyS10"
                                    << "ttyUSB0" << true;
  QTest::newRow("ACM before S") << "/dev/ttyACM3"
                                << "/dev/ttyS0" << true;
  QTest::newRow("numbers inside") << "a2b10"
                                  << "a2b9" << false;
  QTest::newRow("prefix first") << "ttyS"
                                << "ttyS0" << true;
  QTest::newRow("trailing space after") << "COM3"
                                        << "COM3 " << true;
  QTest::newRow("big numbers") << "x99999999999999999999"
                               << "x100000000000000000000" << true;
  QTest::newRow("leading zeros: still strict") << "ttyS01"
                                               << "ttyS1" << true;
}

void TestPortList::naturalLess() {
  QFETCH(QString, a);
  QFETCH(QString, b);
  QFETCH(bool, aFirst);
  QCOMPARE(telvar::NaturalLess(a, b), aFirst);
  QCOMPARE(telvar::NaturalLess(b, a), !aFirst);
  QVERIFY(!telvar::NaturalLess(a, a));
}

// One entry beside a virtual console: is it listed, and is the 8250 check
// asked about it?
void TestPortList::entryIsListed_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("kind");  // virtual, or the driver of its device ("-" for none)
  QTest::addColumn<bool>("uartPresent");
  QTest::addColumn<bool>("probed");
  QTest::addColumn<bool>("listed");
  QTest::newRow("USB adapter") << "ttyUSB0"
                               << "ftdi_sio" << false << false << true;
  QTest::newRow("ACM modem") << "ttyACM0"
                             << "cdc_acm" << false << false << true;
  QTest::newRow("platform UART") << "ttyAMA0"
                                 << "uart-pl011" << false << false << true;
  QTest::newRow("device without a driver") << "ttyGS0"
                                           << "-" << false << false << true;
  QTest::newRow("virtual console") << "tty5"
                                   << "virtual" << false << false << false;
  QTest::newRow("ptmx") << "ptmx"
                        << "virtual" << false << false << false;
  QTest::newRow("8250 with a UART") << "ttyS0"
                                    << "serial8250" << true << true << true;
  QTest::newRow("8250 of unknown type") << "ttyS3"
                                        << "serial8250" << false << true << false;
  QTest::newRow("ttyS name, newer kernel's driver") << "ttyS1"
                                                    << "port" << true << true << true;
  QTest::newRow("ttyS name, type unknown") << "ttyS2"
                                           << "port" << false << true << false;
  QTest::newRow("8250 driver, other name") << "ttyXR0"
                                           << "serial8250" << false << true << false;
  QTest::newRow("ttyS without a device") << "ttyS9"
                                         << "virtual" << true << false << false;
}

void TestPortList::entryIsListed() {
  QFETCH(QString, name);
  QFETCH(QString, kind);
  QFETCH(bool, uartPresent);
  QFETCH(bool, probed);
  QFETCH(bool, listed);
  FakeSysfs sys;
  QVERIFY(sys.valid());
  sys.addVirtual("tty0");
  if (kind == "virtual")
    sys.addVirtual(name);
  else
    sys.addPort(name, kind == "-" ? QString() : kind);
  FakeProbe probe;
  if (uartPresent) probe.present << name;

  const PlatformPortList list = ReadPlatformPortList(sys.classDir(), "/devx", probe.fn());
  QVERIFY(list.opened);
  QCOMPARE(list.ports, listed ? QStringList{"/devx/" + name} : QStringList{});
  QCOMPARE(probe.asked, probed ? QStringList{"/devx/" + name} : QStringList{});
}

void TestPortList::listIsOrderedAndCapped_data() {
  QTest::addColumn<int>("usbPorts");
  QTest::addColumn<int>("expected");
  QTest::newRow("a few") << 3 << 5;
  QTest::newRow("exactly 32") << 30 << 32;
  QTest::newRow("33 leave one out") << 31 << 32;
  QTest::newRow("many") << 60 << 32;
}

void TestPortList::listIsOrderedAndCapped() {
  QFETCH(int, usbPorts);
  QFETCH(int, expected);
  FakeSysfs sys;
  QVERIFY(sys.valid());
  for (int i = usbPorts - 1; i >= 0; --i) sys.addPort(QString("ttyUSB%1").arg(i), "ftdi_sio");
  for (int i = 0; i < 12; ++i) sys.addPort(QString("ttyS%1").arg(i), "serial8250");
  for (int i = 0; i < 20; ++i) sys.addVirtual(QString("tty%1").arg(i));
  FakeProbe probe;
  probe.present = {"ttyS10", "ttyS2"};

  const PlatformPortList list = ReadPlatformPortList(sys.classDir(), "/dev", probe.fn());
  QVERIFY(list.opened);
  QStringList all{"/dev/ttyS2", "/dev/ttyS10"};
  for (int i = 0; i < usbPorts; ++i) all << QString("/dev/ttyUSB%1").arg(i);
  QCOMPARE(list.ports, all.mid(0, expected));
}

void TestPortList::unreadableDirectoryIsNotOpened_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<bool>("opened");
  QTest::newRow("missing") << "missing" << false;
  QTest::newRow("a file, not a directory") << "file" << false;
  QTest::newRow("no permission") << "no-permission" << false;
  QTest::newRow("empty: opened, no ports") << "empty" << true;
}

void TestPortList::unreadableDirectoryIsNotOpened() {
  QFETCH(QString, kind);
  QFETCH(bool, opened);
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  QString path = dir.filePath("tty");
  if (kind == "file") {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
  }
  if (kind == "empty" || kind == "no-permission") QVERIFY(QDir().mkpath(path));
  if (kind == "no-permission") {
    if (geteuid() == 0) QSKIP("root reads every directory");
    QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
  }
  FakeProbe probe;
  const PlatformPortList list = ReadPlatformPortList(path, "/dev", probe.fn());
  QCOMPARE(list.opened, opened);
  QVERIFY(list.ports.isEmpty());
  if (kind == "no-permission")
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// The 8250 check reads the type the serial core gives in sysfs and opens no
// device node: an open would raise DTR and RTS on an idle port, and would
// fail on a port held open, which would then drop out of the list. The
// nodes here are fifos, which an open for reading does not block on.
void TestPortList::uartTypeReadFromSysfs_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("driver");
  QTest::addColumn<QByteArray>("type");  // the type file's text; "-" for no file
  QTest::addColumn<bool>("listed");
  QTest::newRow("8250, 16550A") << "ttyS0"
                                << "serial8250" << QByteArray("4\n") << true;
  QTest::newRow("8250, unknown type") << "ttyS1"
                                      << "serial8250" << QByteArray("0\n") << false;
  QTest::newRow("8250 without a type file") << "ttyS2"
                                            << "serial8250" << QByteArray("-") << false;
  QTest::newRow("8250, type not a number") << "ttyS3"
                                           << "serial8250" << QByteArray("x\n") << false;
  QTest::newRow("8250, empty type file") << "ttyS4"
                                         << "serial8250" << QByteArray() << false;
  QTest::newRow("ttyS name, newer kernel's driver") << "ttyS5"
                                                    << "port" << QByteArray("4\n") << true;
  QTest::newRow("USB adapter: no 8250 check") << "ttyUSB0"
                                              << "ftdi_sio" << QByteArray("0\n") << true;
}

void TestPortList::uartTypeReadFromSysfs() {
  QFETCH(QString, name);
  QFETCH(QString, driver);
  QFETCH(QByteArray, type);
  QFETCH(bool, listed);
  FakeSysfs sys;
  QVERIFY(sys.valid());
  sys.addVirtual("tty0");
  sys.addPort(name, driver);
  if (type != "-") QVERIFY(sys.setType(name, type));
  QTemporaryDir dev;
  QVERIFY(dev.isValid());
  const QString node = dev.filePath(name);
  QCOMPARE(mkfifo(QFile::encodeName(node).constData(), 0666), 0);
  OpenWatch watch(node);
  QVERIFY(watch.ok());

  const PlatformPortList list = ReadPlatformPortList(sys.classDir(), dev.path());
  QVERIFY(list.opened);
  QCOMPARE(list.ports, listed ? QStringList{node} : QStringList{});
  QCOMPARE(watch.Take(), 0u);

  // The watch does see an open: one of our own, for reading.
  const int fd = ::open(QFile::encodeName(node).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  QVERIFY(fd >= 0);
  ::close(fd);
  QVERIFY(watch.Take() & IN_OPEN);
}

// The machine's own list opens none of its 8250 ports, and lists each one
// by the type its sysfs entry gives.
void TestPortList::realListOpensNoPort() {
  std::vector<std::unique_ptr<OpenWatch>> watches;
  QStringList names;
  if (DIR* dir = opendir("/sys/class/tty")) {
    while (const dirent* d = readdir(dir)) {
      const QString name = QFile::decodeName(d->d_name);
      if (name.startsWith("ttyS") && QFile::exists("/dev/" + name)) names << name;
    }
    closedir(dir);
  }
  if (names.isEmpty()) QSKIP("no ttyS port on this machine");
  for (const QString& name : names) {
    watches.push_back(std::make_unique<OpenWatch>("/dev/" + name));
    QVERIFY2(watches.back()->ok(), qPrintable(name));
  }

  const PlatformPortList list = ReadPlatformPortList();
  QVERIFY(list.opened);
  for (int i = 0; i < names.size(); ++i) {
    QVERIFY2(watches[size_t(i)]->Take() == 0u, qPrintable(names[i]));
    QFile typeFile("/sys/class/tty/" + names[i] + "/type");
    QVERIFY(typeFile.open(QIODevice::ReadOnly));
    const bool known = typeFile.readAll().trimmed().toInt() != 0;
    // The list holds at most 32 ports; ttyS ports sort first.
    if (list.ports.size() < telvar::kMaxPlatformPorts)
      QVERIFY2(list.ports.contains("/dev/" + names[i]) == known, qPrintable(names[i]));
  }
}

// The real check against what the kernel reports for the first 8250 port.
void TestPortList::realUartCheck_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<int>("expected");  // 1 known, 0 not, -1 from /proc/tty/driver/serial
  QTest::newRow("/dev/ttyS0") << "/dev/ttyS0" << -1;
  QTest::newRow("not a serial port") << "/dev/null" << 0;
  QTest::newRow("missing node") << "/dev/telvar-no-such-node" << 0;
  QTest::newRow("pseudo-terminal") << "pty" << 0;
}

void TestPortList::realUartCheck() {
  QFETCH(QString, path);
  QFETCH(int, expected);
  const telvar::test::PtyPair pty;
  if (path == "pty") {
    QVERIFY(pty.ok());
    path = QString::fromStdString(pty.path());
  }
  if (expected < 0) {
    if (!QFile::exists(path)) QSKIP("no /dev/ttyS0 on this machine");
    QFile proc("/proc/tty/driver/serial");
    if (!proc.open(QIODevice::ReadOnly)) QSKIP("the kernel's serial table cannot be read");
    const QList<QByteArray> lines = proc.readAll().split('\n');
    auto line = std::find_if(lines.begin(), lines.end(), [](const QByteArray& l) { return l.startsWith("0: uart:"); });
    if (line == lines.end()) QSKIP("port 0 is not in the kernel's serial table");
    expected = line->startsWith("0: uart:unknown") ? 0 : 1;
  }
  QCOMPARE(telvar::HasKnownUartType(path), expected == 1);
}

void TestPortList::realPlatformList() {
  const PlatformPortList list = ReadPlatformPortList();
  QVERIFY(list.opened);
  QVERIFY(list.ports.size() <= telvar::kMaxPlatformPorts);
  for (const QString& port : list.ports) QVERIFY2(QFileInfo(port).exists(), qPrintable(port));
  QVERIFY(!list.ports.contains("/dev/tty0"));
  QVERIFY(!list.ports.contains("/dev/console"));
  if (QFile::exists("/dev/ttyS0")) QCOMPARE(list.ports.contains("/dev/ttyS0"), telvar::HasKnownUartType("/dev/ttyS0"));
}

// --- the fallback file ------------------------------------------------------------

void TestPortList::comportsFile_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<int>("maxLines");
  QTest::addColumn<Lines>("lines");
  QTest::newRow("LF") << QByteArray("COM1\nCOM3\n") << 10 << Lines{"COM1", "COM3"};
  QTest::newRow("CR LF") << QByteArray("COM1\r\nCOM3\r\n") << 10 << Lines{"COM1", "COM3"};
  QTest::newRow("mixed line ends") << QByteArray("A\r\nB\nC\r\n") << 10 << Lines{"A", "B", "C"};
  QTest::newRow("last line without its end") << QByteArray("COM1\n/dev/ttyUSB0") << 10 << Lines{"COM1", "/dev/ttyUSB0"};
  QTest::newRow("spaces kept") << QByteArray("COM3 \n COM4\r\n\tCOM5\n") << 10 << Lines{"COM3 ", " COM4", "\tCOM5"};
  QTest::newRow("empty line is a line") << QByteArray("COM1\n\nCOM2\n") << 10 << Lines{"COM1", "", "COM2"};
  QTest::newRow("only one CR LF stripped") << QByteArray("COM1\r\r\n") << 10 << Lines{"COM1\r"};
  QTest::newRow("CR alone is no line end") << QByteArray("COM1\rCOM2\n") << 10 << Lines{"COM1\rCOM2"};
  QTest::newRow("empty file") << QByteArray() << 10 << Lines{};
  QByteArray twelve;
  Lines ten;
  for (int i = 1; i <= 12; ++i) {
    twelve += "COM" + QByteArray::number(i) + "\r\n";
    if (i <= 10) ten << "COM" + QByteArray::number(i);
  }
  QTest::newRow("12 lines, first 10 count") << twelve << 10 << ten;
  QTest::newRow("maxLines 0") << QByteArray("COM1\n") << 0 << Lines{};
  QTest::newRow("maxLines negative") << QByteArray("COM1\n") << -3 << Lines{};
  QTest::newRow("UTF-8 name") << QByteArray("\xd0\x9f\xd0\xbe\xd1\x80\xd1\x82 1\n") << 10
                              << Lines{"\xd0\x9f\xd0\xbe\xd1\x80\xd1\x82 1"};
  // Saved in CP1251, "Порт": no UTF-8, and still the very bytes.
  QTest::newRow("CP1251 name, byte for byte")
      << QByteArray("\xcf\xee\xf0\xf2\r\nCOM2\n") << 10 << Lines{"\xcf\xee\xf0\xf2", "COM2"};
  QTest::newRow("bytes C0 FF") << QByteArray("/tmp/\xc0\xff\n") << 10 << Lines{"/tmp/\xc0\xff"};
  QTest::newRow("NUL inside a line") << QByteArray("CO\0M1\n", 6) << 10 << Lines{QByteArray("CO\0M1", 5)};
  // Lines longer than one piece of the reading, within the bound.
  const QByteArray longLine(20000, 'x');
  QTest::newRow("long line") << longLine + "\nCOM2\n" << 10 << Lines{longLine, "COM2"};
  const QByteArray lastFitting(telvar::kMaxComportsBytes - 6, 'y');
  QTest::newRow("line that ends at the bound") << "COM1\n" + lastFitting + "\n" << 10 << Lines{"COM1", lastFitting};
  // Beyond the bound: the line that has not ended names no port, and
  // nothing after it is read.
  const QByteArray megabyte(1024 * 1024, 'z');
  QTest::newRow("1 MB line") << megabyte + "\nCOM2\n" << 10 << Lines{};
  QTest::newRow("lines before a 1 MB line") << "COM1\nCOM2\r\n" + megabyte + "\nCOM3\n" << 10 << Lines{"COM1", "COM2"};
  QTest::newRow("1 MB last line without its end") << "COM1\n" + megabyte << 10 << Lines{"COM1"};
  QTest::newRow("line one byte past the bound") << QByteArray(telvar::kMaxComportsBytes, 'w') + "\n" << 10 << Lines{};
}

void TestPortList::comportsFile() {
  QFETCH(QByteArray, content);
  QFETCH(int, maxLines);
  QFETCH(Lines, lines);
  QTemporaryDir dir;
  const QString path = WriteComports(dir, content);
  QVERIFY(!path.isEmpty());
  const telvar::ComportsFile file = ReadComportsFile(path, maxLines);
  QVERIFY(file.opened);
  QCOMPARE(file.lines, lines);
}

// The file is read only as far as its lines count: up to the tenth line,
// and never more than the bound, however long the file.
void TestPortList::comportsFileReadOnlyAsFarAsNeeded_data() {
  QTest::addColumn<QByteArray>("head");
  QTest::addColumn<qint64>("mostRead");
  QByteArray ten;
  for (int i = 1; i <= 10; ++i) ten += "COM" + QByteArray::number(i) + "\n";
  QTest::newRow("ten lines, then 1 MB") << ten << qint64(4096);
  QTest::newRow("1 MB line") << QByteArray() << qint64(telvar::kMaxComportsBytes);
}

void TestPortList::comportsFileReadOnlyAsFarAsNeeded() {
  QFETCH(QByteArray, head);
  QFETCH(qint64, mostRead);
  QTemporaryDir dir;
  const QString path = WriteComports(dir, head + QByteArray(1024 * 1024, 'z') + "\n");
  QVERIFY(!path.isEmpty());
  const qint64 before = BytesReadByProcess();
  if (before < 0) QSKIP("no /proc/self/io");
  const telvar::ComportsFile file = ReadComportsFile(path, 10);
  const qint64 read = BytesReadByProcess() - before;
  QVERIFY(file.opened);
  QCOMPARE(file.lines.size(), head.count('\n'));
  // The slack is the first look at /proc/self/io itself.
  QVERIFY2(read <= mostRead + 1024, qPrintable(QString::number(read)));
}

void TestPortList::comportsFileThatCannotBeOpened_data() {
  QTest::addColumn<QString>("kind");
  QTest::newRow("missing") << "missing";
  QTest::newRow("a directory") << "dir";
  QTest::newRow("a FIFO without a writer") << "fifo";
  QTest::newRow("a FIFO held open, no data") << "fifo-held";
  QTest::newRow("a link to a FIFO") << "fifo-link";
  QTest::newRow("a device node") << "device";
  QTest::newRow("a dangling link") << "dangling";
  QTest::newRow("no read permission") << "no-permission";
}

// None of these may hold the caller up: a blocked read or open would wait
// for a writer that never comes.
void TestPortList::comportsFileThatCannotBeOpened() {
  QFETCH(QString, kind);
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString path = dir.filePath("comports.txt");
  const QByteArray fifo = QFile::encodeName(dir.filePath("fifo"));
  int holder = -1;
  if (kind.startsWith("fifo")) QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
  if (kind == "fifo" || kind == "fifo-held") QVERIFY(QFile::rename(QString::fromLocal8Bit(fifo), path));
  if (kind == "fifo-held") QVERIFY((holder = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK)) >= 0);
  if (kind == "fifo-link") QVERIFY(QFile::link(QString::fromLocal8Bit(fifo), path));
  if (kind == "dir") QVERIFY(QDir().mkpath(path));
  if (kind == "device") QVERIFY(QFile::link("/dev/zero", path));
  if (kind == "dangling") QVERIFY(QFile::link(dir.filePath("nothing"), path));
  if (kind == "no-permission") {
    if (geteuid() == 0) QSKIP("root reads every file");
    QCOMPARE(WriteComports(dir, "COM1\n"), path);
    QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
  }

  // Watched from outside: should the read wait, a writer set free what the
  // test then reports.
  auto reading = std::async(std::launch::async, [&path] { return ReadComportsFile(path, 10); });
  const bool returned = reading.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
  if (!returned) {
    // A writer that comes and goes ends a waiting open, and the last one
    // gone ends a waiting read.
    ::close(::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK));
    if (holder >= 0) ::close(std::exchange(holder, -1));
    reading.wait();
  }
  if (holder >= 0) ::close(holder);
  QVERIFY2(returned, "the read waited");
  const telvar::ComportsFile file = reading.get();
  QVERIFY(!file.opened);
  QVERIFY(file.lines.isEmpty());
}

// What a port name's bytes show: the replacement character where a byte is
// not UTF-8, the rest as it is.
void TestPortList::portCaption_data() {
  QTest::addColumn<QByteArray>("name");
  QTest::addColumn<QString>("caption");
  QTest::newRow("ASCII") << QByteArray("COM3 ") << QStringLiteral("COM3 ");
  QTest::newRow("UTF-8") << QByteArray("/dev/\xd0\x9f") << QStringLiteral("/dev/П");
  QTest::newRow("C0 FF") << QByteArray("/tmp/\xc0\xff/tty") << QStringLiteral("/tmp/\uFFFD\uFFFD/tty");
  QTest::newRow("CP1251") << QByteArray("\xcf\xee\xf0\xf2") << QString(4, QChar(0xFFFD));
  QTest::newRow("empty") << QByteArray() << QString();
}

void TestPortList::portCaption() {
  QFETCH(QByteArray, name);
  QFETCH(QString, caption);
  QCOMPARE(telvar::PortCaption(name), caption);
}

QTEST_APPLESS_MAIN(TestPortList)
#include "tst_port_list.moc"
