// What an open, idle serial port costs in CPU time on Windows: the port set
// up as the windows set theirs up, opened, then left alone for a few
// seconds. Prints the process's CPU time per second of them. Under wine
// (tools/windows_serial_test.sh runs it there, on COM5) the figure includes
// wine's own polling of the line.
//
//   bench_idle_port [PORT [SECONDS]]      PORT defaults to COM5, SECONDS to 3
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "serial/com_port.h"

namespace {

double ProcessCpuMs() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  const auto ticks = [](const FILETIME& t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return double(ticks(kernel) + ticks(user)) / 1e4;  // 100 ns ticks
}

}  // namespace

int main(int argc, char** argv) {
  const char* name = argc > 1 ? argv[1] : "COM5";
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 3;
  if (seconds <= 0) {
    std::fprintf(stderr, "usage: bench_idle_port [PORT [SECONDS]]\n");
    return 2;
  }
  telvar::TComPort port;
  port.SetPort(name);
  port.Timeouts.ReadInterval = 150;
  std::atomic<int> reports = 0;
  port.OnRxChar = [&reports](telvar::TCustomComPort&, int) { ++reports; };
  try {
    port.OpenPort();
  } catch (const telvar::EComPort& e) {
    std::fprintf(stderr, "bench_idle_port: %s cannot be opened: %s\n", name, e.what());
    return 1;
  }
  const double before = ProcessCpuMs();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double cpu = ProcessCpuMs() - before;
  std::printf("idle open port %s: %.1f ms of CPU per second (over %d s; %d reports of received bytes)\n", name,
              cpu / seconds, seconds, reports.load());
  std::fflush(stdout);
  return 0;
}
