// The words a failed opening is shown with: the system's text for the
// error, with a hint where the usual cause is known.
#include <cerrno>

#include <QtTest>

#include "serial/com_port.h"
#include "serial/open_failure.h"

using namespace telvar;

class TestOpenFailure : public QObject {
  Q_OBJECT
 private slots:
  void reason_data();
  void reason();
};

void TestOpenFailure::reason_data() {
  QTest::addColumn<int>("error");
  QTest::addColumn<QString>("reason");
  QTest::newRow("permission") << EACCES << "Permission denied: add your user to the group dialout and log in again";
  QTest::newRow("missing") << ENOENT << "No such file or directory";
  QTest::newRow("exclusive open") << EBUSY << "busy: another program has the port open";
  QTest::newRow("lock") << EWOULDBLOCK << "busy: another program has the port open";
  QTest::newRow("not a terminal") << ENOTTY << "Inappropriate ioctl for device: not a serial port";
  QTest::newRow("any other") << EIO << "Input/output error";
  QTest::newRow("no platform code") << -1 << "Unable to open com port";
}

void TestOpenFailure::reason() {
  QFETCH(int, error);
  QFETCH(QString, reason);
  QCOMPARE(QString::fromStdString(OpenFailureReason(EComPort(1, error))), reason);
}

QTEST_APPLESS_MAIN(TestOpenFailure)
#include "tst_open_failure.moc"
