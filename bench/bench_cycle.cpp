// Benchmark of the transaction cycle over a real pseudo-terminal: a device
// in a child process answers status requests paced at the line rate; the
// program measures the time from the reply's last byte to the end of the
// transaction end, the CPU time per transaction, and the CPU use while
// idle and while polling every 500 ms.
//
//   bench_cycle [--transactions N] [--idle-seconds S] [--poll-seconds S]
//
// With BENCH_NO_VIEW set, the traffic log keeps its lines without showing
// them in a text box, which tells the box's share of the CPU time.
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTimer>

#include "link/bus_link.h"
#include "link/frame.h"
#include "link/traffic_log.h"
#include "serial/com_port.h"
#include "serial/com_port_binding.h"

using namespace telvar;

namespace {

int64_t NowNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The device: answers each 8-byte request with a 65-byte status reply,
// byte by byte at the line rate, and reports when its last byte went out.
[[noreturn]] void PlayDevice(int master, int baud, int report) {
  FrameBuffer reply{};
  reply[0] = 1;
  reply[1] = 3;
  reply[2] = 60;
  reply[4] = 20;
  AppendCrc(reply, 63);
  const int64_t byteNs = 10'000'000'000LL / baud;
  uint8_t request[64];
  int have = 0;
  for (;;) {
    const ssize_t n = read(master, request + have, sizeof request - size_t(have));
    if (n <= 0) {
      if (n == 0 || errno != EIO) _exit(0);
      usleep(500);  // the program's end is closed between transactions
      continue;
    }
    have += int(n);
    if (have < 8) continue;
    have = 0;
    int64_t next = NowNs() + 2'000'000;  // turnaround
    for (int i = 0; i < 65; ++i) {
      timespec at{time_t(next / 1'000'000'000), long(next % 1'000'000'000)};
      clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
      if (write(master, &reply[size_t(i)], 1) != 1) _exit(1);
      next += byteNs;
    }
    const int64_t lastByte = NowNs();
    if (write(report, &lastByte, sizeof lastByte) != sizeof lastByte) _exit(1);
  }
}

struct Device {
  Device(int baud) {
    char name[256] = {};
    openpty(&master, &slave, name, nullptr, nullptr);
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    path = name;
    int fds[2];
    if (pipe(fds) != 0) std::perror("pipe");
    pid = fork();
    if (pid == 0) {
      close(fds[0]);
      PlayDevice(master, baud, fds[1]);
    }
    close(fds[1]);
    report = fds[0];
  }
  ~Device() {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    close(master);
    close(slave);
    close(report);
  }
  int64_t LastByteNs() {
    int64_t at = 0;
    pollfd p{report, POLLIN, 0};
    if (poll(&p, 1, 1000) == 1 && read(report, &at, sizeof at) == sizeof at) return at;
    return 0;
  }
  int master = -1, slave = -1, report = -1;
  pid_t pid = -1;
  std::string path;
};

struct Program {
  explicit Program(const std::string& path) {
    port.SetPort(path);
    link.deviceAddress = 1;
    link.hooks.statusDecoder = [] { return uint8_t(kReplyStatus); };
  }
  QPlainTextEdit memo;
  TComPort port;
  ComPortBinding binding{port};
  TrafficLog log{qEnvironmentVariableIsSet("BENCH_NO_VIEW") ? nullptr : &memo};
  BusLink link{binding, log};
};

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
  return values[index];
}

void MeasureLatency(int baud, int transactions) {
  Device device(baud);
  Program program(device.path);
  std::vector<double> latencies;
  int64_t endedNs = 0;
  QObject::connect(&program.link, &BusLink::transactionEnded, [&] { endedNs = NowNs(); });
  const double cpuBefore = CpuSeconds();
  int timeOuts = 0;
  for (int i = 0; i < transactions; ++i) {
    QEventLoop loop;
    QObject::connect(&program.link, &BusLink::transactionEnded, &loop, &QEventLoop::quit);
    program.link.SendReadHoldingRegisters(0, 30, kReplyStatus);
    loop.exec();
    if (program.log.Lines().last() != kLineOk) {
      ++timeOuts;
      continue;
    }
    const int64_t lastByteNs = device.LastByteNs();
    latencies.push_back(double(endedNs - lastByteNs) / 1e6);
  }
  const double cpu = CpuSeconds() - cpuBefore;
  if (latencies.empty()) {
    std::printf("%5d baud: no good transaction\n", baud);
    return;
  }
  std::printf("%5d baud, %d status transactions (65-byte replies), %d failed:\n", baud, transactions, timeOuts);
  std::printf("   last reply byte -> end of transaction end: median %.2f ms, p99 %.2f ms, max %.2f ms\n",
              Percentile(latencies, 0.5), Percentile(latencies, 0.99), Percentile(latencies, 1.0));
  std::printf("   CPU time per transaction: %.3f ms\n", cpu * 1000 / transactions);
}

void MeasureCpu(const char* what, double seconds, const std::function<void()>& start) {
  const double before = CpuSeconds();
  start();
  QEventLoop loop;
  QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
  loop.exec();
  const double used = CpuSeconds() - before;
  std::printf("CPU while %s for %.0f s: %.3f s (%.3f %%)\n", what, seconds, used, used / seconds * 100);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int transactions = 200;
  double idleSeconds = 10, pollSeconds = 10;
  for (int i = 1; i + 1 < argc; i += 2) {
    const QByteArray option = argv[i];
    if (option == "--transactions") transactions = std::atoi(argv[i + 1]);
    if (option == "--idle-seconds") idleSeconds = std::atof(argv[i + 1]);
    if (option == "--poll-seconds") pollSeconds = std::atof(argv[i + 1]);
  }
  MeasureLatency(9600, transactions);
  MeasureLatency(1200, std::max(10, transactions / 10));

  Device device(9600);
  Program program(device.path);
  MeasureCpu("idle (port closed, no timer running)", idleSeconds, [] {});
  // The cyclic poll: a status request 500 ms after each transaction end.
  QObject::connect(&program.link.Timer_Programm, &QTimer::timeout, [&] {
    program.link.Timer_Programm.stop();
    program.link.Timer_Programm.setInterval(500);
    program.link.SendReadHoldingRegisters(0, 30, kReplyStatus);
  });
  MeasureCpu("polling every 500 ms at 9600 baud", pollSeconds, [&] {
    program.link.sequencingState = kStateCyclicPoll;
    program.link.Timer_Programm.start();
  });
  return 0;
}
