// Soak of the cyclic poll: the window of telvar_v210, offscreen, polls the
// device simulator over a pseudo-terminal through the real serial port
// component for N status transactions. It prints the resident memory, the
// threads and the open descriptors before the poll, after its first
// transaction, every 500 transactions and at the end, and the poll's period
// (one transaction end to the next, as the window sees it, and one request
// to the next, as the simulator's log has it): median, p99 and maximum.
//
//   bench_soak [--transactions N]     (default 2000, about 20 minutes)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QFile>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "link/traffic_log.h"
#include "tests/console_v2/sim_line.h"

using namespace telvar;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kDefaultTransactions = 2000;
constexpr int kReportEvery = 500;
// No transaction end for this long means the poll has stopped.
constexpr int kStallMs = 5000;

// A field of /proc/self/status ("VmRSS", "Threads"), as its number.
long StatusField(const char* name) {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  const QByteArray prefix = QByteArray(name) + ':';
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith(prefix)) return line.mid(prefix.size()).trimmed().split(' ').first().toLong();
  }
  return -1;
}

long OpenDescriptors() {
  std::error_code error;
  long count = 0;
  for (auto it = std::filesystem::directory_iterator("/proc/self/fd", error);
       !error && it != std::filesystem::directory_iterator(); it.increment(error))
    ++count;
  return count - 1;  // the iterator's own descriptor
}

void PrintFigures(const char* when) {
  std::printf("%-28s RSS %6ld kB, threads %ld, open descriptors %ld\n", when, StatusField("VmRSS"),
              StatusField("Threads"), OpenDescriptors());
  std::fflush(stdout);
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
  return values[index];
}

void PrintPeriods(const char* what, const std::vector<double>& periods) {
  std::printf("%s, %zu periods: median %.1f ms, p99 %.1f ms, max %.1f ms\n", what, periods.size(),
              Percentile(periods, 0.5), Percentile(periods, 0.99), Percentile(periods, 1.0));
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int transactions = kDefaultTransactions;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (QByteArray(argv[i]) == "--transactions") transactions = std::max(2, std::atoi(argv[i + 1]));
  }

  v2test::Dialogs dialogs;
  v2test::SimLine sim({"--device", "1:20"});
  if (!sim.Ready()) {
    std::fprintf(stderr, "bench_soak: the simulator did not start\n");
    return 1;
  }
  v2test::Window w(sim.Path(), sim.Dir());
  w.form.Connection().TeSpinEdit1->setValue(1);
  std::printf("cyclic poll of a ТЕЛВАР-2 at 9600 baud over %s, %d status transactions\n", qPrintable(sim.Path()),
              transactions);
  PrintFigures("before the poll:");

  std::vector<double> periods;
  periods.reserve(size_t(transactions));
  Clock::time_point lastEnd{};
  int ended = 0, failed = 0;
  QEventLoop loop;
  QTimer stall;
  stall.setSingleShot(true);
  stall.setInterval(kStallMs);
  QObject::connect(&stall, &QTimer::timeout, &loop, [&] {
    std::printf("the poll stopped after %d transactions\n", ended);
    loop.exit(1);
  });
  QObject::connect(&w.Link(), &BusLink::transactionEnded, &loop, [&] {
    const Clock::time_point now = Clock::now();
    if (ended > 0) periods.push_back(std::chrono::duration<double, std::milli>(now - lastEnd).count());
    lastEnd = now;
    if (w.Memo().last() != kLineOk) ++failed;
    ++ended;
    if (ended == 1) PrintFigures("after the first transaction:");
    if (ended % kReportEvery == 0 && ended < transactions) {
      char when[64];
      std::snprintf(when, sizeof when, "after %d transactions:", ended);
      PrintFigures(when);
    }
    if (ended == transactions) {
      QTest::mouseClick(w.Button("TeButton5"), Qt::LeftButton);  // stop
      loop.quit();
      return;
    }
    stall.start();
  });

  QTest::mouseClick(w.Button("A0_CBox"), Qt::LeftButton);
  QTest::mouseClick(w.Button("TeButton5"), Qt::LeftButton);
  stall.start();
  const int result = loop.exec();
  PrintFigures("at the end:");
  std::printf("transactions %d, of which %d did not end with \"%s\"\n", ended, failed, qPrintable(kLineOk));
  PrintPeriods("transaction end to transaction end", periods);

  std::vector<double> requestPeriods;
  const QList<SimLogLine> lines = sim.Lines();
  for (qsizetype i = 1; i < lines.size(); ++i)
    requestPeriods.push_back(1000 * (lines[i].time.toDouble() - lines[i - 1].time.toDouble()));
  PrintPeriods("request to request (simulator's log)", requestPeriods);
  return result;
}
