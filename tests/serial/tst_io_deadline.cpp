// The time-out arithmetic of reads and writes, on made-up points in time.
#include <QtTest>

#include "serial/io_deadline.h"

using namespace std::chrono;
using telvar::kMaxTimeout;
using telvar::ReadDeadline;
using telvar::SteadyClock;
using telvar::TimeoutField;
using telvar::WriteDeadline;

namespace {
const SteadyClock::time_point t0 = SteadyClock::time_point(hours(1000));
SteadyClock::time_point At(double ms) {
  return t0 + duration_cast<SteadyClock::duration>(duration<double, std::milli>(ms));
}
}  // namespace

class TestIoDeadline : public QObject {
  Q_OBJECT
 private slots:
  void readWait_data();
  void readWait();
  void writeWait_data();
  void writeWait();
  void timeoutField();
};

// Columns: the three read fields as the user sets them (-1 = the largest
// value), the count asked, the times bytes arrived (ms from the start), the
// moment asked about, and the expected wait (-1 without limit).
void TestIoDeadline::readWait_data() {
  QTest::addColumn<int>("interval");
  QTest::addColumn<int>("multiplier");
  QTest::addColumn<int>("constant");
  QTest::addColumn<int>("count");
  QTest::addColumn<QList<double>>("arrivals");
  QTest::addColumn<double>("now");
  QTest::addColumn<qint64>("wait");

  QTest::newRow("window: nothing yet waits without limit")
      << 150 << 0 << 0 << 7 << QList<double>{} << 5000.0 << qint64(-1);
  QTest::newRow("window: 150 after the last byte")
      << 150 << 0 << 0 << 7 << QList<double>{10, 20} << 20.0 << qint64(150);
  QTest::newRow("window: counts from the last byte, not the first")
      << 150 << 0 << 0 << 7 << QList<double>{10, 100} << 160.0 << qint64(90);
  QTest::newRow("window: gap over") << 150 << 0 << 0 << 7 << QList<double>{10} << 160.0 << qint64(0);
  QTest::newRow("window: well past the gap") << 150 << 0 << 0 << 7 << QList<double>{10} << 9000.0 << qint64(0);
  QTest::newRow("part of a ms rounds up") << 150 << 0 << 0 << 7 << QList<double>{0} << 149.5 << qint64(1);
  QTest::newRow("-1, totals 0: at once") << -1 << 0 << 0 << 7 << QList<double>{} << 0.0 << qint64(0);
  QTest::newRow("-1, totals 0: at once with bytes") << -1 << 0 << 0 << 7 << QList<double>{0} << 0.0 << qint64(0);
  QTest::newRow("total only") << 0 << 10 << 100 << 5 << QList<double>{} << 50.0 << qint64(100);
  QTest::newRow("total over") << 0 << 10 << 100 << 5 << QList<double>{} << 150.0 << qint64(0);
  QTest::newRow("total earlier than the gap") << 150 << 0 << 100 << 7 << QList<double>{90} << 90.0 << qint64(10);
  QTest::newRow("gap earlier than the total") << 50 << 0 << 1000 << 7 << QList<double>{90} << 90.0 << qint64(50);
  QTest::newRow("first byte only: waits for it") << -1 << -1 << 300 << 7 << QList<double>{} << 100.0 << qint64(200);
  QTest::newRow("first byte only: returns with it") << -1 << -1 << 300 << 7 << QList<double>{100} << 100.0 << qint64(0);
  QTest::newRow("-1 with a total: gap unlimited") << -1 << 0 << 500 << 7 << QList<double>{100} << 100.0 << qint64(400);
  QTest::newRow("huge totals stay in range")
      << 0 << -1 << -1 << 2147483647 << QList<double>{} << 0.0 << qint64(1099511627776LL);  // 2^40 ms
}

void TestIoDeadline::readWait() {
  QFETCH(int, interval);
  QFETCH(int, multiplier);
  QFETCH(int, constant);
  QFETCH(int, count);
  QFETCH(QList<double>, arrivals);
  QFETCH(double, now);
  QFETCH(qint64, wait);
  ReadDeadline d(TimeoutField(interval), TimeoutField(multiplier), TimeoutField(constant), count, t0);
  for (double a : arrivals) d.BytesArrived(At(a));
  QCOMPARE(qint64(d.Wait(At(now))), wait);
}

void TestIoDeadline::writeWait_data() {
  QTest::addColumn<int>("multiplier");
  QTest::addColumn<int>("constant");
  QTest::addColumn<int>("count");
  QTest::addColumn<double>("now");
  QTest::addColumn<qint64>("wait");
  QTest::newRow("window: 1000 + 100 per byte") << 100 << 1000 << 8 << 0.0 << qint64(1800);
  QTest::newRow("window: later") << 100 << 1000 << 8 << 1700.0 << qint64(100);
  QTest::newRow("window: over") << 100 << 1000 << 8 << 1800.0 << qint64(0);
  QTest::newRow("constant only") << 0 << 200 << 4000000 << 10.0 << qint64(190);
  QTest::newRow("both 0: no limit") << 0 << 0 << 8 << 99999.0 << qint64(-1);
  QTest::newRow("negative count counts as 0") << 100 << 50 << -3 << 0.0 << qint64(50);
}

void TestIoDeadline::writeWait() {
  QFETCH(int, multiplier);
  QFETCH(int, constant);
  QFETCH(int, count);
  QFETCH(double, now);
  QFETCH(qint64, wait);
  const WriteDeadline d(TimeoutField(multiplier), TimeoutField(constant), count, t0);
  QCOMPARE(qint64(d.Wait(At(now))), wait);
}

void TestIoDeadline::timeoutField() {
  QCOMPARE(TimeoutField(-1), kMaxTimeout);
  QCOMPARE(TimeoutField(-7), kMaxTimeout);
  QCOMPARE(TimeoutField(0), 0u);
  QCOMPARE(TimeoutField(150), 150u);
}

QTEST_APPLESS_MAIN(TestIoDeadline)
#include "tst_io_deadline.moc"
