// The window of telvar_v210 and its port as a technician meets them, against
// the device simulator: a port name in comports.txt that is not UTF-8, and
// an adapter unplugged during a bus search and plugged in again.
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "link/traffic_log.h"
#include "search/bus_search.h"
#include "serial/com_port.h"
#include "tests/console_v2/sim_line.h"
#include "tests/support/user_input.h"

using namespace telvar;
using namespace v2test;

namespace {

const QString kReplaced(QChar(0xFFFD));

// The terminals this process still holds although they are gone.
QStringList VanishedTerminals() {
  QStringList gone;
  const QDir fds(QStringLiteral("/proc/self/fd"));
  for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
    char target[512] = {};
    const ssize_t n = ::readlink(QFile::encodeName(fds.filePath(fd)).constData(), target, sizeof target - 1);
    const QString path = QString::fromLocal8Bit(target, n > 0 ? n : 0);
    if (path.startsWith(QLatin1String("/dev/pts/")) && path.endsWith(QLatin1String("(deleted)"))) gone << path;
  }
  return gone;
}

// Clicks the menu's entry the way a hand does: the menu's title on the bar,
// then the entry in the menu that drops down.
void ClickMenuEntry(QMenuBar* bar, QMenu* menu, QAction* entry) {
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
  QTRY_VERIFY(menu->isVisible());
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
}

// Types the device address into the address field and confirms it.
void TypeAddress(QSpinBox* field, int address) {
  telvar::testing::TypeInto(field, QString::number(address));
  QTest::keyClick(field, Qt::Key_Return);
}

// A press on the menu bar rebuilds the port list; the menu it opens is shut.
void PressMenuBar(QMenuBar* bar) {
  QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(2, 2));
  if (QWidget* popup = QApplication::activePopupWidget()) QTest::keyClick(popup, Qt::Key_Escape);
}

QString StatusRequest(int address) {
  return hexText(
      BytesWithCrc(QByteArray::fromHex(QByteArray::number(address, 16).rightJustified(2, '0') + "030000001E")));
}

}  // namespace

class TestEndToEndPort : public QObject {
  Q_OBJECT
 private slots:
  void unpluggedDuringSearchThenStatusReadWorks();
  void portNameThatIsNotUtf8IsOpenedByteForByte();

 private:
  Dialogs dialogs_;
};

// The simulator stopped under a running search is the adapter pulled out:
// the next search request cannot be written. Started again on the same
// path, it is the adapter plugged back in.
void TestEndToEndPort::unpluggedDuringSearchThenStatusReadWorks() {
  const QStringList device = {"--device", "40:20"};
  SimProcess sim;
  QVERIFY2(sim.start(device), qPrintable(sim.error()));
  Window w(sim.link(), QFileInfo(sim.link()).path());
  w.form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w.form));
  BusLink& link = w.Link();
  BusSearch& search = w.form.Search();
  QMenuBar* bar = w.form.Controls().TeMenuBar1;
  auto* progress = w.Find<QProgressBar>(QStringLiteral("TeProgressBar1"));

  ClickMenuEntry(bar, search.CustomItem4, search.CustomItem5);
  QCOMPARE(search.CustomItem5->text(), QStringLiteral("Stop"));
  QVERIFY(!progress->isHidden());
  QTRY_VERIFY_WITH_TIMEOUT(sim.log().size() >= 3, 5000);
  QVERIFY(sim.stop());

  // The search is over as if stopped, and the vanished terminal let go.
  QTRY_COMPARE_WITH_TIMEOUT(search.CustomItem5->text(), QStringLiteral("Start"), 3000);
  QCOMPARE(w.Memo().last(), kLinePortError + sim.link());
  QVERIFY(progress->isHidden());
  QCOMPARE(link.sequencingState, uint8_t(kStateIdle));
  QVERIFY(!link.TransactionOutstanding());
  QVERIFY(!link.Timer_Programm.isActive());
  QVERIFY(!w.form.ComPort1().Connected());
  QCOMPARE(VanishedTerminals(), QStringList{});
  const int failedAt = link.deviceAddress;
  QVERIFY(failedAt >= 3 && failedAt < 40);
  QCOMPARE(w.form.Connection().TeSpinEdit1->value(), failedAt);

  // Back again: a status read succeeds without a restart or a port pick.
  QVERIFY2(sim.start(device), qPrintable(sim.error()));
  TypeAddress(w.form.Connection().TeSpinEdit1, 40);
  QCOMPARE(link.deviceAddress, uint8_t(40));
  QTest::mouseClick(w.Button("TeButton5"), Qt::LeftButton);
  QVERIFY(w.WaitForEnds(1));
  QCOMPARE(w.Memo().last(), kLineOk);
  QCOMPARE(sim.log().last().request, StatusRequest(40));
  // A BaudRate pick on the closed port only stores the rate.
  ClickMenuEntry(bar, w.form.Connection().CustomItem1, w.form.Connection().CustomItem3->menuAction());
  QTRY_VERIFY(w.form.Connection().CustomItem3->isVisible());
  QAction* rate = w.form.Connection().BR[5];
  QTest::mouseClick(w.form.Connection().CustomItem3, Qt::LeftButton, {},
                    w.form.Connection().CustomItem3->actionGeometry(rate).center());
  QCOMPARE(w.form.ComPort1().BaudRate(), TBaudRate::br19200);
  QVERIFY(dialogs_.asked.isEmpty());
}

// A link named with the bytes C0 FF (no UTF-8) in a folder of the test's
// own leads to the simulator's terminal; comports.txt names it.
void TestEndToEndPort::portNameThatIsNotUtf8IsOpenedByteForByte() {
  SimProcess sim;
  QVERIFY2(sim.start({"--device", "1:20"}), qPrintable(sim.error()));
  QTemporaryDir own;
  QVERIFY(own.isValid());
  const QByteArray name = QFile::encodeName(own.path()) + "/\xc0\xff";
  const QByteArray pty = QFile::encodeName(QFile::symLinkTarget(sim.link()));
  QCOMPARE(::symlink(pty.constData(), name.constData()), 0);
  const QString shown = own.path() + QLatin1Char('/') + kReplaced + kReplaced;

  telvar::v2::TForm1 form;
  ConnectionSettings& c = form.Connection();
  QFile list(own.filePath(QStringLiteral("comports.txt")));
  QVERIFY(list.open(QIODevice::WriteOnly));
  list.write("COM3\r\n" + name + "\r\n");
  list.close();
  c.comportsPath = list.fileName();
  c.platformPortList = [] { return PlatformPortList{true, {}}; };
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  PressMenuBar(form.Controls().TeMenuBar1);
  QCOMPARE(c.PortEntries(), (QStringList{"COM3", shown}));
  QCOMPARE(c.PortEntryNames(), (QList<QByteArray>{"COM3", name}));

  // Picked from the menu by hand: opened byte for byte, shown replaced.
  c.PORT1->popup(QPoint(0, 0));
  QVERIFY(QTest::qWaitForWindowExposed(c.PORT1));
  QTest::mouseClick(c.PORT1, Qt::LeftButton, {}, c.PORT1->actionGeometry(c.PORT1->actions().at(1)).center());
  QCOMPARE(c.TickedPortEntry(), 1);
  QCOMPARE(QByteArray::fromStdString(form.ComPort1().Port()), name);
  QCOMPARE(c.StatusPanel[0]->text(), shown);

  TypeAddress(c.TeSpinEdit1, 1);
  auto* request = form.findChild<QAbstractButton*>(QStringLiteral("TeButton5"));
  QTest::mouseClick(request, Qt::LeftButton);
  QSignalSpy ended(&form.Link(), &BusLink::transactionEnded);
  QVERIFY(ended.wait(3000));
  QStringList memo = form.Controls().TeMemo1->toPlainText().split(QLatin1Char('\n'));
  QCOMPARE(memo.last(), kLineOk);
  QCOMPARE(sim.log().last().request, StatusRequest(1));

  // The list read again keeps the entry ticked by its bytes.
  PressMenuBar(form.Controls().TeMenuBar1);
  QCOMPARE(c.TickedPortEntry(), 1);

  // With the link gone, the log names the port as shown.
  QCOMPARE(::unlink(name.constData()), 0);
  QTest::mouseClick(request, Qt::LeftButton);
  memo = form.Controls().TeMemo1->toPlainText().split(QLatin1Char('\n'));
  QCOMPARE(memo.last(), kLinePortError + shown);
}

QTEST_MAIN(TestEndToEndPort)
#include "tst_end_to_end_port.moc"
