// The connection settings: start-up, port list, PC baud rate, address field,
// the device address and baud writes and their replies.
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/pty_pair.h"
#include "tests/support/window_fixture.h"

using namespace telvar;
using namespace telvar::test;

namespace {

const QString kQuestion = QStringLiteral("Сменить скорость обмена COM-порта ПК?");

QStringList Checked(const std::array<QAction*, kBaudCount>& entries) {
  QStringList ticked;
  for (QAction* entry : entries) {
    if (entry->isChecked()) ticked << entry->objectName();
  }
  return ticked;
}

// A comports.txt with content in dir; its path.
QString WriteComports(const QTemporaryDir& dir, const QByteArray& content) {
  QFile file(dir.filePath(QStringLiteral("comports.txt")));
  if (file.open(QIODevice::WriteOnly)) file.write(content);
  return file.fileName();
}

}  // namespace

class TestConnectionSettings : public QObject {
  Q_OBJECT
 private slots:
  void init() { fixture_ = std::make_unique<WindowFixture>(); }
  void cleanup() { fixture_.reset(); }

  void startUpTextsAndTicks();
  void startUpPortChoice_data();
  void startUpPortChoice();
  void platformListThatCannotBeOpenedIsReported();
  void rebuildFromPlatformList_data();
  void rebuildFromPlatformList();
  void rebuildFromComportsFile_data();
  void rebuildFromComportsFile();
  void rebuildWithoutFileKeepsThePort_data();
  void rebuildWithoutFileKeepsThePort();
  void portNamesAreBytes();
  void portEntryPickedAgainClosesThePort();
  void ampersandInANameIsShownNotAShortcut();
  void mousePressOnMenuBarRebuilds();
  void portEntryClickSelectsIt();
  void pcBaudRateStaysApartFromTheDevice();
  void addressFieldFollowsTheSpinEdit();
  void addressFieldStaysWithinBounds();
  void addressWriteAndReply_data();
  void addressWriteAndReply();
  void baudWriteAndReply_data();
  void baudWriteAndReply();
  void shortWriteReplyIsNoEcho_data();
  void shortWriteReplyIsNoEcho();
  void comboBoxWritesOnlyForAnotherItem();
  void writesSendNothingDuringSearch();
  void writeParkedByTheGateIsSentAfterTheTransaction();
  void openFailureBelongsToItsPort();

 private:
  std::unique_ptr<WindowFixture> fixture_;
};

void TestConnectionSettings::startUpTextsAndTicks() {
  WindowFixture& f = *fixture_;
  f.link.deviceAddress = 12;
  f.link.baudIndex = 6;
  f.connection.FormCreate();
  ConnectionSettings& c = f.connection;
  QCOMPARE(int(f.link.deviceAddress), 247);
  QCOMPARE(int(f.link.baudIndex), 3);
  QCOMPARE(c.TeGroupBox2->title(), QStringLiteral("  ПАРАМЕТРЫ ИНТЕРФЕЙСА  "));
  QCOMPARE(c.TeLabel4->text(), QStringLiteral("СКОРОСТЬ ПЕРЕДАЧИ"));
  QCOMPARE(c.TeLabel5->text(), QStringLiteral("АДРЕС ПРИБОРА - 247"));
  QCOMPARE(c.TeLabel6->text(), QStringLiteral("to"));
  QCOMPARE(c.TeButton1->text(), QStringLiteral("-->"));
  QCOMPARE(c.TeSpinEdit1->value(), 247);
  QCOMPARE(c.TeSpinEdit2->value(), 247);
  QCOMPARE(c.TeSComboBox1->count(), 8);
  QCOMPARE(c.TeSComboBox1->itemText(0), QStringLiteral("1200"));
  QCOMPARE(c.TeSComboBox1->itemText(7), QStringLiteral("57600"));
  QCOMPARE(c.TeSComboBox1->currentText(), QStringLiteral("9600"));
  QCOMPARE(Checked(c.BR), QStringList{QStringLiteral("BR_9600")});
  QCOMPARE(c.BR[4]->text(), QStringLiteral("14400"));
  QCOMPARE(c.StatusPanel[1]->text(), QStringLiteral("BaudRate = 9600"));
  QCOMPARE(c.StatusPanel[2]->text(), QStringLiteral("DEVICE : A = 247; Baud = 9600"));
  QCOMPARE(f.comPort.BaudRate(), TBaudRate::br9600);
  QCOMPARE(f.window.statusBar(), c.StatusBar1);
  // Found by name the way the windows' tests find them.
  QVERIFY(f.window.findChild<QMenu*>(QStringLiteral("PORT1")));
  QVERIFY(f.window.findChild<QAction*>(QStringLiteral("BR_57600")));
  QCOMPARE(c.StatusPanel[0]->width(), 50);
  QCOMPARE(c.StatusPanel[1]->width(), 100);
}

void TestConnectionSettings::startUpPortChoice_data() {
  QTest::addColumn<QStringList>("platform");
  QTest::addColumn<QStringList>("entries");
  QTest::addColumn<QString>("chosen");
  QTest::newRow("COM1 preferred") << QStringList{"COM3", "COM1"} << QStringList{"COM3", "COM1"} << "COM1";
  QTest::newRow("else the first") << QStringList{"COM3", "COM4"} << QStringList{"COM3", "COM4"} << "COM3";
  QTest::newRow("device paths shown as they are")
      << QStringList{"/dev/ttyUSB0", "/dev/ttyS1"} << QStringList{"/dev/ttyUSB0", "/dev/ttyS1"} << "/dev/ttyUSB0";
  QStringList many;
  for (int i = 1; i <= 40; ++i) many << QStringLiteral("COM%1").arg(i + 1);
  QTest::newRow("at most 32") << many << many.mid(0, 32) << "COM2";
}

void TestConnectionSettings::startUpPortChoice() {
  QFETCH(QStringList, platform);
  QFETCH(QStringList, entries);
  QFETCH(QString, chosen);
  WindowFixture& f = *fixture_;
  f.platform = {true, platform};
  DialogRecorder dialogs;
  f.connection.FormCreate();
  QCOMPARE(f.connection.PortEntries(), entries);
  QCOMPARE(f.connection.PORT1->actions().size(), entries.size());
  QCOMPARE(f.connection.PortEntries().at(f.connection.TickedPortEntry()), chosen);
  QCOMPARE(QString::fromStdString(f.comPort.Port()), chosen);
  QCOMPARE(f.connection.StatusPanel[0]->text(), chosen);
  QVERIFY(dialogs.asked.isEmpty());
}

void TestConnectionSettings::platformListThatCannotBeOpenedIsReported() {
  WindowFixture& f = *fixture_;
  f.platform = {false, {}};
  DialogRecorder dialogs;
  f.connection.FormCreate();
  QCOMPARE(dialogs.asked.size(), 1);
  QCOMPARE(dialogs.asked[0].text, QStringLiteral("Нет данных в реестре о доступных COM - портах..."));
  QCOMPARE(dialogs.asked[0].icon, QMessageBox::Critical);
  QCOMPARE(dialogs.asked[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  QVERIFY(f.connection.PortEntries().isEmpty());
  QCOMPARE(QString::fromStdString(f.comPort.Port()), QStringLiteral("COM1"));
  QCOMPARE(f.connection.StatusPanel[0]->text(), QString());

  // An empty list is no failure: no message.
  f.platform = {true, {}};
  f.connection.FormCreate();
  QCOMPARE(dialogs.asked.size(), 1);
}

void TestConnectionSettings::rebuildFromPlatformList_data() {
  QTest::addColumn<QString>("current");
  QTest::addColumn<QStringList>("platform");
  QTest::addColumn<QString>("chosen");
  QTest::newRow("current kept before COM1") << "COM4" << QStringList{"COM1", "COM4"} << "COM4";
  QTest::newRow("current gone: COM1") << "COM4" << QStringList{"COM3", "COM1"} << "COM1";
  QTest::newRow("current gone, no COM1: first") << "COM4" << QStringList{"COM3", "COM5"} << "COM3";
}

void TestConnectionSettings::rebuildFromPlatformList() {
  QFETCH(QString, current);
  QFETCH(QStringList, platform);
  QFETCH(QString, chosen);
  WindowFixture& f = *fixture_;
  f.comPort.SetPort(current.toStdString());
  f.platform = {true, platform};
  f.connection.TeMenuBar1MouseDown();
  QCOMPARE(f.connection.PortEntries(), platform);
  QCOMPARE(f.connection.PortEntries().at(f.connection.TickedPortEntry()), chosen);
  QCOMPARE(QString::fromStdString(f.comPort.Port()), chosen);
  QCOMPARE(f.connection.StatusPanel[0]->text(), chosen);
}

void TestConnectionSettings::rebuildFromComportsFile_data() {
  QTest::addColumn<bool>("platformOpened");
  QTest::addColumn<QString>("current");
  QTest::addColumn<int>("ticked");
  // Lines 11 and 12 do not count; "COM7 " is not "COM7".
  QTest::newRow("current not listed: first line, no COM1 preference") << false << "COM7" << 0;
  QTest::newRow("current listed as a path") << false << "/tmp/ttyV0" << 3;
  QTest::newRow("name with its trailing space") << false << "COM7 " << 2;
  QTest::newRow("current only beyond line 10") << false << "COM12" << 0;
  QTest::newRow("empty platform list falls back too") << true << "/tmp/ttyV0" << 3;
}

void TestConnectionSettings::rebuildFromComportsFile() {
  QFETCH(bool, platformOpened);
  QFETCH(QString, current);
  QFETCH(int, ticked);
  QTemporaryDir dir;
  WindowFixture& f = *fixture_;
  f.connection.comportsPath =
      WriteComports(dir, "COM5\r\nCOM1\r\nCOM7 \n/tmp/ttyV0\nCOM8\nCOM9\nCOM10\nCOM11\nCOM13\nCOM14\nCOM15\nCOM12\n");
  f.platform = {platformOpened, {}};
  f.comPort.SetPort(current.toStdString());
  f.connection.TeMenuBar1MouseDown();
  const QStringList expected = {"COM5", "COM1",  "COM7 ", "/tmp/ttyV0", "COM8",
                                "COM9", "COM10", "COM11", "COM13",      "COM14"};
  QCOMPARE(f.connection.PortEntries(), expected);
  QCOMPARE(f.connection.TickedPortEntry(), ticked);
  QCOMPARE(QString::fromStdString(f.comPort.Port()), expected[ticked]);
  QCOMPARE(f.connection.StatusPanel[0]->text(), expected[ticked]);
}

void TestConnectionSettings::rebuildWithoutFileKeepsThePort_data() {
  QTest::addColumn<QString>("kind");
  QTest::newRow("no file") << "missing";
  // A FIFO would hold the window up for good if it were opened to be read.
  QTest::newRow("a FIFO") << "fifo";
  QTest::newRow("a 1 MB line") << "long-line";
}

void TestConnectionSettings::rebuildWithoutFileKeepsThePort() {
  QFETCH(QString, kind);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("comports.txt"));
  if (kind == "fifo") QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
  if (kind == "long-line") QCOMPARE(WriteComports(dir, QByteArray(1024 * 1024, 'x') + "\nCOM7\n"), path);
  WindowFixture& f = *fixture_;
  f.platform = {true, {"COM3", "COM4"}};
  f.connection.FormCreate();
  f.connection.comportsPath = path;
  f.platform = {false, {}};
  f.connection.TeMenuBar1MouseDown();
  QVERIFY(f.connection.PortEntries().isEmpty());
  QVERIFY(f.connection.PORT1->actions().isEmpty());
  QCOMPARE(QString::fromStdString(f.comPort.Port()), QStringLiteral("COM3"));
}

// The names from comports.txt are opened byte for byte and compared byte for
// byte; the menu and panel 0 show them with invalid bytes replaced.
void TestConnectionSettings::portNamesAreBytes() {
  QTemporaryDir dir;
  WindowFixture& f = *fixture_;
  // Two names that show alike, and CP1251 "Порт".
  f.connection.comportsPath = WriteComports(dir, "COM\xc0\nCOM\xff\r\n/tmp/\xcf\xee\xf0\xf2 1\n");
  f.platform = {false, {}};
  f.comPort.SetPort("COM\xff");
  f.connection.TeMenuBar1MouseDown();

  const QString replaced(QChar(0xFFFD));
  QCOMPARE(f.connection.PortEntries(),
           (QStringList{"COM" + replaced, "COM" + replaced, "/tmp/" + replaced.repeated(4) + " 1"}));
  QCOMPARE(f.connection.PortEntryNames(), (QList<QByteArray>{"COM\xc0", "COM\xff", "/tmp/\xcf\xee\xf0\xf2 1"}));
  QCOMPARE(f.connection.TickedPortEntry(), 1);
  QCOMPARE(f.comPort.Port(), std::string("COM\xff"));
  QCOMPARE(f.connection.StatusPanel[0]->text(), "COM" + replaced);

  f.window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&f.window));
  f.connection.PORT1->popup(QPoint(0, 0));
  QVERIFY(QTest::qWaitForWindowExposed(f.connection.PORT1));
  QAction* last = f.connection.PORT1->actions().at(2);
  QTest::mouseClick(f.connection.PORT1, Qt::LeftButton, {}, f.connection.PORT1->actionGeometry(last).center());
  QCOMPARE(f.connection.TickedPortEntry(), 2);
  QCOMPARE(f.comPort.Port(), std::string("/tmp/\xcf\xee\xf0\xf2 1"));
  QCOMPARE(f.connection.StatusPanel[0]->text(), "/tmp/" + replaced.repeated(4) + " 1");

  // The platform's paths as bytes too.
  f.platform = {true, {QStringLiteral("/dev/ttyП0"), QStringLiteral("/dev/ttyS1")}};
  f.connection.TeMenuBar1MouseDown();
  QCOMPARE(f.connection.PortEntryNames(), (QList<QByteArray>{"/dev/tty\xd0\x9f"
                                                             "0",
                                                             "/dev/ttyS1"}));
  QCOMPARE(f.comPort.Port(), std::string("/dev/tty\xd0\x9f"
                                         "0"));
  QCOMPARE(f.connection.StatusPanel[0]->text(), QStringLiteral("/dev/ttyП0"));
}

// A menu would take "&" as the mark of a shortcut key and hide it.
void TestConnectionSettings::ampersandInANameIsShownNotAShortcut() {
  QTemporaryDir dir;
  WindowFixture& f = *fixture_;
  f.connection.comportsPath = WriteComports(dir, "/tmp/A&B\n");
  f.platform = {false, {}};
  f.connection.TeMenuBar1MouseDown();
  QCOMPARE(f.connection.PortEntries(), QStringList{"/tmp/A&B"});
  QCOMPARE(f.connection.PORT1->actions().at(0)->text(), QStringLiteral("/tmp/A&&B"));
  QCOMPARE(f.comPort.Port(), std::string("/tmp/A&B"));
  QCOMPARE(f.connection.StatusPanel[0]->text(), QStringLiteral("/tmp/A&B"));
}

// Picking the port in use again closes it, so that the next transaction
// opens the device afresh; rebuilding the list leaves an open port alone.
void TestConnectionSettings::portEntryPickedAgainClosesThePort() {
  const PtyPair ptys[2];
  QStringList paths;
  for (const PtyPair& pty : ptys) {
    QVERIFY(pty.ok());
    paths << QString::fromStdString(pty.path());
  }
  WindowFixture& f = *fixture_;
  f.platform = {true, paths};
  f.connection.FormCreate();
  QCOMPARE(QString::fromStdString(f.comPort.Port()), paths[0]);
  f.comPort.OpenPort();
  const uint64_t period = f.comPort.OpenPeriod();

  f.window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&f.window));
  QMenu* menu = f.connection.PORT1;
  const auto pick = [&](int index) {
    menu->popup(QPoint(0, 0));
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions().at(index)).center());
  };
  // Opening the menu rebuilds the list: the open port stays open.
  QMenuBar* bar = f.window.menuBar();
  QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(bar->width() - 2, 2));
  QVERIFY(f.comPort.Connected());
  QCOMPARE(f.comPort.OpenPeriod(), period);

  pick(0);
  QVERIFY(!f.comPort.Connected());
  QCOMPARE(f.connection.TickedPortEntry(), 0);
  QCOMPARE(QString::fromStdString(f.comPort.Port()), paths[0]);
  f.comPort.OpenPort();
  QCOMPARE(f.comPort.OpenPeriod(), period + 1);

  // Another port while open: reopened under the new name, as before.
  pick(1);
  QVERIFY(f.comPort.Connected());
  QCOMPARE(QString::fromStdString(f.comPort.Port()), paths[1]);
  QCOMPARE(f.comPort.OpenPeriod(), period + 2);
  // The one in use again while closed: stays closed.
  f.comPort.ClosePort();
  pick(1);
  QVERIFY(!f.comPort.Connected());
  QCOMPARE(f.connection.TickedPortEntry(), 1);
}

void TestConnectionSettings::mousePressOnMenuBarRebuilds() {
  WindowFixture& f = *fixture_;
  f.connection.FormCreate();
  QVERIFY(f.connection.PortEntries().isEmpty());
  f.platform = {true, {"COM2", "COM6"}};
  QMenuBar* bar = f.window.menuBar();
  bar->resize(400, 20);
  QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(390, 10));
  QCOMPARE(f.connection.PortEntries(), (QStringList{"COM2", "COM6"}));
  QCOMPARE(QString::fromStdString(f.comPort.Port()), QStringLiteral("COM2"));
}

void TestConnectionSettings::portEntryClickSelectsIt() {
  WindowFixture& f = *fixture_;
  f.platform = {true, {"COM1", "COM3", "COM4"}};
  f.connection.FormCreate();
  f.connection.PORT1->actions().at(2)->trigger();
  QCOMPARE(f.connection.TickedPortEntry(), 2);
  QCOMPARE(QString::fromStdString(f.comPort.Port()), QStringLiteral("COM4"));
  QCOMPARE(f.connection.StatusPanel[0]->text(), QStringLiteral("COM4"));
  // Clicking the ticked entry again keeps it ticked.
  f.connection.PORT1->actions().at(2)->trigger();
  QCOMPARE(f.connection.TickedPortEntry(), 2);
}

void TestConnectionSettings::pcBaudRateStaysApartFromTheDevice() {
  WindowFixture& f = *fixture_;
  f.connection.FormCreate();
  const QString panel2 = f.connection.StatusPanel[2]->text();
  f.connection.BR[5]->trigger();
  QCOMPARE(Checked(f.connection.BR), QStringList{QStringLiteral("BR_19200")});
  QCOMPARE(f.connection.StatusPanel[1]->text(), QStringLiteral("BaudRate = 19200"));
  QCOMPARE(f.comPort.BaudRate(), TBaudRate::br19200);
  QCOMPARE(int(f.link.baudIndex), 3);
  QCOMPARE(f.connection.StatusPanel[2]->text(), panel2);
  QCOMPARE(f.connection.TeSComboBox1->currentIndex(), 3);
  f.connection.BR[5]->trigger();
  QCOMPARE(Checked(f.connection.BR), QStringList{QStringLiteral("BR_19200")});
  f.connection.BR[0]->trigger();
  QCOMPARE(Checked(f.connection.BR), QStringList{QStringLiteral("BR_1200")});
  QCOMPARE(f.comPort.BaudRate(), TBaudRate::br1200);
}

void TestConnectionSettings::addressFieldFollowsTheSpinEdit() {
  WindowFixture& f = *fixture_;
  f.connection.FormCreate();
  f.connection.TeSpinEdit1->setValue(5);
  QCOMPARE(int(f.link.deviceAddress), 5);
  QCOMPARE(f.connection.StatusPanel[2]->text(), QStringLiteral("DEVICE : A = 005; Baud = 9600;"));
  QCOMPARE(f.connection.TeLabel5->text(), QStringLiteral("АДРЕС ПРИБОРА - 005"));

  // Enter runs the same handling.
  f.link.deviceAddress = 30;
  QTest::keyClick(f.connection.TeSpinEdit1, Qt::Key_Return);
  QCOMPARE(int(f.link.deviceAddress), 5);

  // Setting the field to its own value still refreshes the texts.
  f.link.deviceAddress = 30;
  f.connection.StatusPanel[2]->clear();
  f.connection.SetAddressField(5);
  QCOMPARE(int(f.link.deviceAddress), 5);
  QCOMPARE(f.connection.StatusPanel[2]->text(), QStringLiteral("DEVICE : A = 005; Baud = 9600;"));
}

void TestConnectionSettings::addressFieldStaysWithinBounds() {
  WindowFixture& f = *fixture_;
  f.connection.FormCreate();
  for (int address : {0, 1, 247, 248, 255, -3}) {
    f.connection.SetAddressField(address);
    QCOMPARE(f.connection.TeSpinEdit1->value(), qBound(1, address, 247));
    QCOMPARE(int(f.link.deviceAddress), qBound(1, address, 247));
  }
  QCOMPARE(f.connection.TeLabel5->text(), QStringLiteral("АДРЕС ПРИБОРА - 001"));
  for (QSpinBox* spin : {f.connection.TeSpinEdit1, f.connection.TeSpinEdit2}) {
    spin->setValue(300);
    QCOMPARE(spin->value(), 247);
    spin->setValue(0);
    QCOMPARE(spin->value(), 1);
  }
}

void TestConnectionSettings::addressWriteAndReply_data() {
  QTest::addColumn<int>("echoed");
  QTest::addColumn<int>("address");
  QTest::addColumn<QString>("panel");
  QTest::newRow("taken") << 5 << 5 << "DEVICE : A = 005; Baud = 9600";
  QTest::newRow("0 is not a device address") << 0 << 247 << "DEVICE : A = 247; Baud = 9600;";
  QTest::newRow("248 is beyond the range") << 248 << 247 << "DEVICE : A = 247; Baud = 9600;";
}

void TestConnectionSettings::addressWriteAndReply() {
  QFETCH(int, echoed);
  QFETCH(int, address);
  QFETCH(QString, panel);
  WindowFixture& f = *fixture_;
  f.connection.FormCreate();
  f.connection.TeSpinEdit1Change();
  f.connection.TeSpinEdit2->setValue(echoed == 5 ? 5 : 1);
  f.connection.TeButton1->click();
  QCOMPARE(f.port.written.size(), 1);
  QCOMPARE(f.port.written[0], BytesWithCrc({247, 6, 0, 1, 0, echoed == 5 ? 5 : 1}));
  QCOMPARE(int(f.link.pendingReplyKind), int(kReplyAddressWrite));
  QCOMPARE(int(f.link.echoGuard), 1);

  f.EndTransaction(BytesWithCrc({247, 6, 0, 1, 0, echoed}));
  QCOMPARE(int(f.link.deviceAddress), address);
  QCOMPARE(f.connection.TeSpinEdit1->value(), address);
  QCOMPARE(f.connection.TeLabel5->text(), AddressLabelText(address));
  QCOMPARE(f.connection.StatusPanel[2]->text(), panel);
  QCOMPARE(f.log.Lines().last(), kLineOk);
}

void TestConnectionSettings::baudWriteAndReply_data() {
  QTest::addColumn<int>("code");
  QTest::addColumn<bool>("yes");
  QTest::addColumn<int>("baudIndex");
  QTest::addColumn<QString>("pcTicked");
  QTest::addColumn<int>("pcRate");
  QTest::newRow("19200, yes") << 6 << true << 5 << "BR_19200" << int(TBaudRate::br19200);
  QTest::newRow("19200, no") << 6 << false << 5 << "BR_9600" << int(TBaudRate::br9600);
  QTest::newRow("1200, yes") << 1 << true << 0 << "BR_1200" << int(TBaudRate::br1200);
  QTest::newRow("57600, yes") << 8 << true << 7 << "BR_57600" << int(TBaudRate::br57600);
  QTest::newRow("code 0 means 9600") << 0 << true << 3 << "BR_9600" << int(TBaudRate::br9600);
  QTest::newRow("code 9 means 9600") << 9 << true << 3 << "BR_9600" << int(TBaudRate::br9600);
}

void TestConnectionSettings::baudWriteAndReply() {
  QFETCH(int, code);
  QFETCH(bool, yes);
  QFETCH(int, baudIndex);
  QFETCH(QString, pcTicked);
  QFETCH(int, pcRate);
  WindowFixture& f = *fixture_;
  f.connection.FormCreate();
  f.connection.SetAddressField(5);
  f.link.baudIndex = 1;  // so that a reply mapped to 9600 shows
  DialogRecorder dialogs(yes ? QMessageBox::Yes : QMessageBox::No);
  // What the device echoes is its own matter; any other item starts the write.
  f.connection.TeSComboBox1->setCurrentIndex(5);
  emit f.connection.TeSComboBox1->activated(5);
  QCOMPARE(f.port.written.size(), 1);
  f.EndTransaction(BytesWithCrc({5, 6, 0, 2, 0, code}));

  QCOMPARE(int(f.link.baudIndex), baudIndex);
  const QString panel = QStringLiteral("DEVICE : А = 5; Baud = ") + BaudRateText(baudIndex);
  QCOMPARE(f.connection.StatusPanel[2]->text(), panel);
  QCOMPARE(int(f.connection.StatusPanel[2]->text().at(9).unicode()), 0x0410);  // Cyrillic А
  QCOMPARE(dialogs.asked.size(), 1);
  QCOMPARE(dialogs.asked[0].text, kQuestion);
  QCOMPARE(dialogs.asked[0].icon, QMessageBox::Warning);
  QCOMPARE(dialogs.asked[0].buttons, QMessageBox::Yes | QMessageBox::No);
  QCOMPARE(Checked(f.connection.BR), QStringList{pcTicked});
  QCOMPARE(int(f.comPort.BaudRate()), pcRate);
  QCOMPARE(f.connection.StatusPanel[1]->text(), QStringLiteral("BaudRate = ") + pcTicked.mid(3));
  QCOMPARE(f.log.Lines().last(), kLineOk);
}

// A reply with a right CRC but too short for the echo: the bytes past it are
// still the request's, and are not the device's answer.
void TestConnectionSettings::shortWriteReplyIsNoEcho_data() {
  QTest::addColumn<bool>("baud");
  QTest::addColumn<QByteArray>("reply");
  QTest::newRow("address, 4 bytes") << false << BytesWithCrc({247, 6});
  QTest::newRow("address, 7 bytes") << false << BytesWithCrc({247, 6, 0, 1, 0});
  QTest::newRow("baud, 4 bytes") << true << BytesWithCrc({247, 6});
  QTest::newRow("baud, 6 bytes") << true << BytesWithCrc({247, 6, 0, 2});
}

void TestConnectionSettings::shortWriteReplyIsNoEcho() {
  QFETCH(bool, baud);
  QFETCH(QByteArray, reply);
  WindowFixture& f = *fixture_;
  f.connection.FormCreate();
  DialogRecorder dialogs(QMessageBox::Yes);
  if (baud) {
    f.connection.TeSComboBox1->setCurrentIndex(5);
    emit f.connection.TeSComboBox1->activated(5);
  } else {
    f.connection.TeSpinEdit2->setValue(5);
    f.connection.TeButton1->click();
  }
  QCOMPARE(f.port.written.size(), 1);
  f.EndTransaction(reply);
  QCOMPARE(int(f.link.deviceAddress), 247);
  QCOMPARE(f.connection.TeSpinEdit1->value(), 247);
  QCOMPARE(int(f.link.baudIndex), 3);
  QVERIFY(dialogs.asked.isEmpty());
  QCOMPARE(Checked(f.connection.BR), QStringList{"BR_9600"});
  QCOMPARE(f.connection.StatusPanel[2]->text(), QStringLiteral("DEVICE : A = 247; Baud = 9600"));
}

void TestConnectionSettings::comboBoxWritesOnlyForAnotherItem() {
  WindowFixture& f = *fixture_;
  f.connection.FormCreate();
  QComboBox* combo = f.connection.TeSComboBox1;
  combo->setCurrentIndex(3);
  emit combo->activated(3);  // the item that was already chosen
  QVERIFY(f.port.written.isEmpty());
  combo->setCurrentIndex(5);
  emit combo->activated(5);
  QCOMPARE(f.port.written.size(), 1);
  QCOMPARE(f.port.written[0], BytesWithCrc({247, 6, 0, 2, 0, 6}));
  QCOMPARE(int(f.link.pendingReplyKind), int(kReplyBaudWrite));
  QCOMPARE(int(f.link.echoGuard), 1);
  f.EndTransaction();
  emit combo->activated(5);
  QCOMPARE(f.port.written.size(), 1);
}

void TestConnectionSettings::writesSendNothingDuringSearch() {
  WindowFixture& f = *fixture_;
  f.connection.FormCreate();
  f.link.sequencingState = kStateSearch;
  f.connection.TeButton1->click();
  f.connection.TeSComboBox1->setCurrentIndex(1);
  emit f.connection.TeSComboBox1->activated(1);
  QVERIFY(f.port.written.isEmpty());
  QCOMPARE(int(f.link.echoGuard), 0);
  QCOMPARE(int(f.link.deferredClick), 0);
}

void TestConnectionSettings::writeParkedByTheGateIsSentAfterTheTransaction() {
  WindowFixture& f = *fixture_;
  f.connection.FormCreate();
  f.link.sequencingState = kStateCyclicPoll;
  f.link.SendReadHoldingRegisters(0, 30, kReplyStatus);
  f.connection.TeSComboBox1->setCurrentIndex(6);
  emit f.connection.TeSComboBox1->activated(6);
  QCOMPARE(f.port.written.size(), 1);  // parked behind the status request
  QCOMPARE(int(f.link.deferredClick), 1);
  f.EndTransaction();
  QTRY_COMPARE(f.port.written.size(), 2);
  QCOMPARE(f.port.written[1], BytesWithCrc({247, 6, 0, 2, 0, 7}));
  QCOMPARE(int(f.link.pendingReplyKind), int(kReplyBaudWrite));

  f.EndTransaction();
  f.link.Timer_Programm.stop();
  f.link.SendReadHoldingRegisters(0, 30, kReplyStatus);
  f.connection.TeButton1->click();
  QCOMPARE(f.port.written.size(), 3);
  f.EndTransaction();
  QTRY_COMPARE(f.port.written.size(), 4);
  QCOMPARE(f.port.written[3], BytesWithCrc({247, 6, 0, 1, 0, 247}));
  QCOMPARE(int(f.link.pendingReplyKind), int(kReplyAddressWrite));
}

// Why the port could not be opened shows in the port panel's tooltip while
// that port is in use, and goes when an opening succeeds.
void TestConnectionSettings::openFailureBelongsToItsPort() {
  WindowFixture& f = *fixture_;
  const QString usb0 = QStringLiteral("/dev/ttyUSB0");
  const QString usb1 = QStringLiteral("/dev/ttyUSB1");
  const QString denied = QStringLiteral("Permission denied: add your user to the group dialout and log in again");
  f.platform = {true, {usb0, usb1}};
  f.connection.FormCreate();
  QLabel* panel = f.connection.StatusPanel[0];
  QCOMPARE(panel->toolTip(), usb0);
  f.connection.ShowOpenResult(usb0, denied);
  QCOMPARE(panel->toolTip(), usb0 + QLatin1Char('\n') + denied);
  QCOMPARE(panel->text(), usb0);

  f.connection.PORT1->actions().at(1)->trigger();
  QCOMPARE(panel->toolTip(), usb1);
  f.connection.PORT1->actions().at(0)->trigger();
  QCOMPARE(panel->toolTip(), usb0 + QLatin1Char('\n') + denied);
  f.connection.ShowOpenResult(usb0, QString());
  QCOMPARE(panel->toolTip(), usb0);

  // Without a port list the panel is empty; the reason still shows.
  WindowFixture bare;
  bare.platform = {false, {}};
  DialogRecorder dialogs;
  bare.connection.FormCreate();
  bare.connection.ShowOpenResult(QStringLiteral("COM1"), QStringLiteral("No such file or directory"));
  QCOMPARE(bare.connection.StatusPanel[0]->toolTip(), QStringLiteral("No such file or directory"));
}

QTEST_MAIN(TestConnectionSettings)
#include "tst_connection_settings.moc"
