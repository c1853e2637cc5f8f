// The telvar_105 window as it shows on a 1280x1024 screen: whole, with a
// whole status bar, and why a port could not be opened.
#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QtTest>

#include "console_v1/main_window.h"
#include "link/traffic_log.h"
#include "serial/connection_settings.h"
#include "tests/support/window_checks.h"
#include "widgets/message_boxes.h"
#include "widgets/status_bar_panel.h"
#include "widgets/window_frame.h"

using namespace telvar;
using namespace telvar::v1;

namespace {

const QString kLongPath = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");

struct Shown {
  Shown() {
    SetDialogHook([](QMessageBox::Icon, const QString&, QMessageBox::StandardButtons) { return QMessageBox::Ok; });
  }
  ~Shown() { SetDialogHook({}); }
  bool Show() {
    form.show();
    return QTest::qWaitForWindowExposed(&form);
  }
  // The platform lists port alone; a press on the menu bar picks it up.
  void UsePort(const QString& port) {
    form.Connection().platformPortList = [port] { return PlatformPortList{true, {port}}; };
    QTest::mousePress(form.Controls().TeMenuBar1, Qt::LeftButton, {}, QPoint(2, 2));
    if (QWidget* popup = QApplication::activePopupWidget()) QTest::keyClick(popup, Qt::Key_Escape);
    QCoreApplication::processEvents();
  }
  TForm1 form;
};

}  // namespace

class TestWindow : public QObject {
  Q_OBJECT
 private slots:
  void opensWhole_data();
  void opensWhole();
  void portPanelLeavesTheOthersWhole();
  void openFailureShowsWhy();
};

void TestWindow::opensWhole_data() {
  QTest::addColumn<int>("screenHeight");  // 0: the screen's own
  QTest::addColumn<bool>("scrolls");
  QTest::newRow("1280x1024 screen") << 0 << false;
  QTest::newRow("600 px screen") << 600 << true;
}

void TestWindow::opensWhole() {
  QFETCH(int, screenHeight);
  QFETCH(bool, scrolls);
  QVERIFY2(QGuiApplication::primaryScreen()->geometry().height() >= 1024, "needs the tall offscreen screen");
  Shown w;
  QScrollArea* area = w.form.Controls().content;
  if (screenHeight != 0) FitWindowToScreen(&w.form, area, screenHeight);
  QVERIFY(w.Show());
  QCOMPARE(area->verticalScrollBar()->isVisible(), scrolls);
  QCOMPARE(testing::CutOnTheRight(area), QStringList());
  if (!scrolls) QVERIFY(area->viewport()->height() >= w.form.Controls().TeGroupBox1->sizeHint().height());
}

void TestWindow::portPanelLeavesTheOthersWhole() {
  QCOMPARE(kLongPath.size(), 62);
  Shown w;
  QVERIFY(w.Show());
  ConnectionSettings& c = w.form.Connection();
  auto* port = static_cast<StatusBarPanel*>(c.StatusPanel[0]);
  w.UsePort(kLongPath);
  c.BR[7]->trigger();
  QTest::keyClick(c.TeSpinEdit1, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(c.TeSpinEdit1, QStringLiteral("5"));
  QTest::keyClick(c.TeSpinEdit1, Qt::Key_Return);
  QCoreApplication::processEvents();
  QCOMPARE(c.StatusPanel[1]->text(), QStringLiteral("BaudRate = 57600"));
  QCOMPARE(c.StatusPanel[2]->text(), QStringLiteral("DEVICE : A = 005; Baud = 9600;"));
  QCOMPARE(testing::PanelsNotWhole(c.StatusBar1, port), QStringList());
  QVERIFY(port->width() >= 50);
  QVERIFY2(port->ShownText().contains(QChar(0x2026)), qPrintable(port->ShownText()));
  QCOMPARE(port->text(), kLongPath);
  QCOMPARE(port->toolTip(), kLongPath);
}

void TestWindow::openFailureShowsWhy() {
  Shown w;
  QVERIFY(w.Show());
  const QString missing = QStringLiteral("/nonexistent/ttyV105");
  w.UsePort(missing);
  QTest::mouseClick(w.form.findChild<QAbstractButton*>(QStringLiteral("TeButton5")), Qt::LeftButton);
  QCOMPARE(w.form.Link().Log().Lines().last(), kLinePortError + missing);
  QCOMPARE(w.form.Connection().StatusPanel[0]->toolTip(), missing + QStringLiteral("\nNo such file or directory"));
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
