// The serial port component's Win32 back-end under wine, over real
// pseudo-terminals: COM5 is the test's own paced peer (wine_line_peer, which
// does what the test writes to it), COM6 the device simulator with a good,
// a short and two split-reply devices (run_under_wine.sh sets both up).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serial/com_port.h"
#include "tests/windows/check.h"

using namespace std::chrono;
using telvar::EComPort;
using telvar::TBaudRate;
using telvar::TComPort;
using telvar::TCustomComPort;
using telvar::test::Case;
using telvar::test::Row;
using telvar::test::Text;

namespace {

constexpr const char* kPeer = "COM5";
constexpr const char* kSim = "COM6";

// ERROR_FILE_NOT_FOUND and ERROR_OPERATION_ABORTED.
constexpr int kFileNotFound = 2;
constexpr int kOperationAborted = 995;

double MsSince(steady_clock::time_point t) { return duration<double, std::milli>(steady_clock::now() - t).count(); }

bool WaitUntil(const std::function<bool()>& done, int ms) {
  const auto end = steady_clock::now() + milliseconds(ms);
  while (!done()) {
    if (steady_clock::now() > end) return false;
    std::this_thread::sleep_for(milliseconds(5));
  }
  return true;
}

// --- talking to the peer ------------------------------------------------------

void Command(TComPort& port, const std::string& line) {
  const std::string bytes = line + "\n";
  CHECK_EQ(port.WritePort(bytes.data(), int(bytes.size())), int(bytes.size()), "writing ", line);
}

// Reads one answer line of the peer, within two seconds; the port's own
// time-outs are kept.
std::string Answer(TComPort& port) {
  const telvar::TComTimeouts kept = port.Timeouts;
  port.Timeouts.ReadInterval = 50;
  port.Timeouts.ReadTotalConstant = 2000;
  std::string answer;
  const auto start = steady_clock::now();
  while (answer.find('\n') == std::string::npos && MsSince(start) < 2000) {
    char bytes[64];
    answer.append(bytes, size_t(port.ReadPort(bytes, sizeof bytes)));
  }
  port.Timeouts = kept;
  CHECK(answer.find('\n') != std::string::npos, "no answer from the peer: '", answer, "'");
  return answer.substr(0, answer.find('\n'));
}

// Takes whatever is waiting, so that the next row starts on an empty line.
void Drain(TComPort& port) {
  const telvar::TComTimeouts kept = port.Timeouts;
  port.Timeouts.ReadInterval = 30;
  port.Timeouts.ReadTotalConstant = 100;
  char bytes[256];
  while (port.ReadPort(bytes, sizeof bytes) > 0) {
  }
  port.Timeouts = kept;
}

// A port as the window sets it up.
void SetUpLikeTheWindow(TComPort& port, const char* name) {
  port.SetPort(name);
  port.Timeouts.ReadInterval = 150;
}

// --- Modbus frames for the simulator ----------------------------------------------

uint16_t Crc(const std::string& bytes) {
  uint16_t crc = 0xFFFF;
  for (char c : bytes) {
    crc ^= uint8_t(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
  }
  return crc;
}

std::string WithCrc(std::string bytes) {
  const uint16_t crc = Crc(bytes);
  bytes += char(crc & 0xFF);
  bytes += char(crc >> 8);
  return bytes;
}

// Function 3: read count holding registers from first.
std::string ReadRequest(int address, int first, int count) {
  return WithCrc({char(address), 3, char(first >> 8), char(first & 0xFF), char(count >> 8), char(count & 0xFF)});
}

// Records the receive notifications; the handler reads up to readUpTo(bytes
// so far) bytes of each (0: leaves them waiting).
struct RxRecorder {
  std::mutex mutex;
  std::vector<int> counts;
  std::vector<int> reads;
  std::vector<double> readMs;  // how long each read took
  std::string bytes;
  std::function<int(const std::string&)> readUpTo = [](const std::string&) { return 0; };
  std::function<void(TCustomComPort&)> onFirstCall;

  void Attach(TComPort& port) {
    port.OnRxChar = [this](TCustomComPort& sender, int count) {
      std::string got;
      int upTo = 0;
      {
        std::lock_guard lock(mutex);
        counts.push_back(count);
        upTo = readUpTo(bytes);
      }
      if (counts.size() == 1 && onFirstCall) onFirstCall(sender);
      if (upTo > 0) {
        got.resize(size_t(upTo));
        const auto start = steady_clock::now();
        got.resize(size_t(sender.ReadPort(got.data(), upTo)));
        std::lock_guard lock(mutex);
        readMs.push_back(MsSince(start));
        reads.push_back(int(got.size()));
        bytes += got;
      }
    };
  }
  int Calls() {
    std::lock_guard lock(mutex);
    return int(counts.size());
  }
  template <typename T>
  T Get(const T& member) {
    std::lock_guard lock(mutex);
    return member;
  }
};

// --- opening ------------------------------------------------------------------

void MissingPortGivesCode1WithPlatformCode2() {
  TComPort port;
  port.SetPort("COM9");  // no such device in the prefix
  try {
    port.OpenPort();
    CHECK(false, "COM9 opened");
  } catch (const EComPort& e) {
    CHECK_EQ(e.ComErrorCode, 1);
    CHECK_EQ(e.PlatformErrorCode, kFileNotFound);
    CHECK_EQ(std::string(e.what()), std::string("Unable to open com port (win error code: 2)"));
  }
  CHECK(!port.Connected());
  CHECK(!port.EventThreadRunning());
}

void OpenAndCloseAreIdempotent() {
  TComPort port;
  SetUpLikeTheWindow(port, kPeer);
  port.ClosePort();  // closed: nothing happens
  port.OpenPort();
  const uint64_t period = port.OpenPeriod();
  port.OpenPort();  // open: nothing happens, no second thread
  CHECK_EQ(port.OpenPeriod(), period);
  CHECK(port.Connected() && port.EventThreadRunning());
  Command(port, "ping");
  CHECK_EQ(Answer(port), std::string("pong"));
  port.ClosePort();
  port.ClosePort();
  CHECK(!port.Connected() && !port.EventThreadRunning());
  port.OpenPort();  // a new period with a new thread
  CHECK_EQ(port.OpenPeriod(), period + 1);
  CHECK(port.EventThreadRunning());
}

// The line as the driver set it, read by the peer from the pty.
void LineSettingsReachTheLine() {
  struct RowData {
    TBaudRate rate;
    const char* line;
  };
  const RowData rows[] = {
      {TBaudRate::br1200, "1200 8N1 rtscts=0 ixon=0 ixoff=0"},
      {TBaudRate::br2400, "2400 8N1 rtscts=0 ixon=0 ixoff=0"},
      {TBaudRate::br4800, "4800 8N1 rtscts=0 ixon=0 ixoff=0"},
      {TBaudRate::br9600, "9600 8N1 rtscts=0 ixon=0 ixoff=0"},
      // A rate without a termios constant: wine sets 38400 with a divisor
      // for the UART, which a pty ignores; the driver took it (no code 7).
      {TBaudRate::br14400, "38400 8N1 rtscts=0 ixon=0 ixoff=0"},
      {TBaudRate::br19200, "19200 8N1 rtscts=0 ixon=0 ixoff=0"},
      {TBaudRate::br38400, "38400 8N1 rtscts=0 ixon=0 ixoff=0"},
      {TBaudRate::br57600, "57600 8N1 rtscts=0 ixon=0 ixoff=0"},
  };
  for (const RowData& row : rows) {
    TComPort port;
    SetUpLikeTheWindow(port, kPeer);
    port.SetBaudRate(row.rate);
    port.OpenPort();
    Command(port, "line");
    CHECK_EQ(Answer(port), std::string(row.line), Row("at opening", row.line));
  }
  // Changed while open: applied at once.
  TComPort port;
  SetUpLikeTheWindow(port, kPeer);
  port.OpenPort();
  port.SetBaudRate(TBaudRate::br38400);
  Command(port, "line");
  CHECK_EQ(Answer(port), std::string("38400 8N1 rtscts=0 ixon=0 ixoff=0"));
}

void SetPortWhileOpenReopens() {
  TComPort port;
  SetUpLikeTheWindow(port, kPeer);
  port.OpenPort();
  port.SetPort(kSim);
  CHECK(port.Connected() && port.EventThreadRunning());
  RxRecorder rx;  // set before the next opening: the thread reads it unlocked
  rx.readUpTo = [](const std::string& got) { return 13 - int(got.size()); };
  port.ClosePort();
  rx.Attach(port);
  port.OpenPort();
  const std::string request = ReadRequest(1, 0, 4);
  port.WritePort(request.data(), int(request.size()));
  CHECK(WaitUntil([&] { return rx.Get(rx.bytes).size() == 13; }, 2000), "reply: ", rx.Get(rx.bytes).size());
  // To a port that is not there: the component ends closed, code 1.
  try {
    port.SetPort("COM9");
    CHECK(false, "COM9 opened");
  } catch (const EComPort& e) {
    CHECK_EQ(e.ComErrorCode, 1);
  }
  CHECK(!port.Connected());
}

// --- reading ------------------------------------------------------------------

// A read ends when all bytes asked for are in, or when the gap after the
// last byte exceeds ReadInterval. The peer measures the end on its own
// clock: the test asks it for the time since its last byte the moment the
// read returns.
void ReadEndsOnCountOrGap() {
  struct RowData {
    const char* name;
    int interval, sent, gapMs, asked, expected;
    double minAfterLast, maxAfterLast;
  };
  const RowData rows[] = {
      {"7 back to back: returns on the seventh", 150, 7, 0, 7, 7, 0, 60},
      {"7 with 40 ms gaps: gaps below the interval", 150, 7, 40, 7, 7, 0, 60},
      {"5 of 7: returns 150 ms after the fifth", 150, 5, 10, 7, 5, 140, 260},
      {"10 sent, 4 asked: returns 4 at once", 150, 10, 0, 4, 4, 0, 60},
      {"short interval", 30, 3, 5, 7, 3, 25, 120},
  };
  TComPort port;
  port.SetPort(kPeer);
  port.OpenPort();
  for (const RowData& row : rows) {
    port.Timeouts.ReadInterval = row.interval;
    Command(port, Text("send ", row.sent, " ", row.gapMs));
    std::string got(size_t(row.asked), '\0');
    got.resize(size_t(port.ReadPort(got.data(), row.asked)));
    Command(port, "elapsed");
    const std::string answer = Answer(port);
    CHECK_EQ(int(got.size()), row.expected, Row("ReadEndsOnCountOrGap", row.name));
    const double afterLast = std::atof(answer.c_str());
    std::printf("  %s: returned %.1f ms after the last byte\n", row.name, afterLast);
    CHECK(afterLast >= row.minAfterLast && afterLast <= row.maxAfterLast, Row("ReadEndsOnCountOrGap", row.name),
          ": returned ", answer, " ms after the last byte");
    Drain(port);
  }
}

// Replies of the simulator as the window meets them: the handler reads what
// the reply still lacks, as the link does.
void RepliesGoodShortAndSplit() {
  struct RowData {
    const char* name;
    int address;
    size_t length;           // bytes of the reply in the end
    std::vector<int> reads;  // what each read returned
    double minReadMs;        // the first read waited at least this long
  };
  const RowData rows[] = {
      {"good reply", 1, 13, {13}, 0},
      // One register short: the read waits for the missing bytes, then ends
      // on the 150 ms gap.
      {"short reply", 2, 11, {11}, 140},
      {"split, halves 100 ms apart: one read", 3, 13, {13}, 90},
      {"split, halves 400 ms apart: two reads", 4, 13, {6, 7}, 140},
  };
  for (const RowData& row : rows) {
    TComPort port;
    SetUpLikeTheWindow(port, kSim);
    RxRecorder rx;
    rx.readUpTo = [](const std::string& got) { return 13 - int(got.size()); };
    rx.Attach(port);
    port.OpenPort();
    const std::string request = ReadRequest(row.address, 0, 4);
    CHECK_EQ(port.WritePort(request.data(), int(request.size())), int(request.size()));
    WaitUntil([&] { return rx.Get(rx.bytes).size() >= row.length && rx.Get(rx.reads).size() >= row.reads.size(); },
              3000);
    std::this_thread::sleep_for(milliseconds(200));  // nothing more comes
    const std::string reply = rx.Get(rx.bytes);
    CHECK_EQ(reply.size(), row.length, Row("RepliesGoodShortAndSplit", row.name));
    CHECK(rx.Get(rx.reads) == row.reads, Row("RepliesGoodShortAndSplit", row.name), ": ", rx.Get(rx.reads).size(),
          " reads");
    CHECK_EQ(uint8_t(reply[0]), uint8_t(row.address), Row("RepliesGoodShortAndSplit", row.name));
    CHECK_EQ(int(reply[1]), 3);
    const std::string body = reply.substr(0, reply.size() - 2);
    CHECK(WithCrc(body) == reply, Row("RepliesGoodShortAndSplit", row.name), ": CRC");
    const double firstReadMs = rx.Get(rx.readMs).front();
    std::printf("  %s: first read took %.1f ms\n", row.name, firstReadMs);
    CHECK(firstReadMs >= row.minReadMs && firstReadMs < row.minReadMs + 200, Row("RepliesGoodShortAndSplit", row.name),
          ": the first read took ", firstReadMs, " ms");
  }
}

// --- writing ------------------------------------------------------------------

void WriteTimesOutWhenDeviceDoesNotRead() {
  TComPort port;
  port.SetPort(kPeer);
  port.Timeouts.WriteTotalConstant = 200;
  port.Timeouts.WriteTotalMultiplier = 0;
  port.OpenPort();
  Command(port, "quiet 1500");
  std::this_thread::sleep_for(milliseconds(50));  // the peer has taken the command
  const std::string big(4 * 1024 * 1024, 'w');    // far more than a pty holds
  const auto start = steady_clock::now();
  const int written = port.WritePort(big.data(), int(big.size()));
  const double took = MsSince(start);
  std::printf("  wrote %d of %zu bytes in %.1f ms\n", written, big.size(), took);
  CHECK(written > 0 && written < int(big.size()), "written: ", written);
  CHECK(took >= 190 && took < 1000, "took ", took, " ms");
  // The port is still usable: once the device reads again, a command goes
  // through and is answered.
  port.Timeouts.WriteTotalConstant = 5000;
  Command(port, "\nping");
  CHECK_EQ(Answer(port), std::string("pong"));
}

// --- the event thread -------------------------------------------------------------

void RxCharReportsWaitingCount() {
  struct RowData {
    const char* name;
    int readUpTo;
    bool secondDuringRead;  // "de" comes while the handler reads "abc"
    std::vector<int> counts;
  };
  // The peer sends "abc", then "de": a handler that reads nothing sees the
  // waiting count grow. Windows reports an arrival once; wine reports the
  // receive event for as long as bytes wait, so there the handler is called
  // again and again with the same count (the system's handler always reads).
  const RowData rows[] = {
      {"handler reads nothing", 0, false, {3, 5}},
      {"handler reads everything", 64, false, {3, 2}},
      // The arrival of "de" wakes the thread again, but the read took the
      // bytes: nothing is waiting, so nothing is reported.
      {"bytes read before the wake-up: no call with 0", 64, true, {3}},
  };
  for (const RowData& row : rows) {
    const std::string name = Row("RxCharReportsWaitingCount", row.name);
    TComPort port;
    port.SetPort(kPeer);
    port.Timeouts.ReadInterval = 100;
    RxRecorder rx;
    const int upTo = row.readUpTo;
    rx.readUpTo = [upTo](const std::string&) { return upTo; };
    if (row.secondDuringRead) rx.onFirstCall = [](TCustomComPort& sender) { sender.WritePort("send 2 0\n", 9); };
    rx.Attach(port);
    port.OpenPort();
    std::this_thread::sleep_for(milliseconds(100));
    CHECK_EQ(rx.Calls(), 0, name, ": nothing arrived, nothing reported");
    Command(port, "send 3 0");
    CHECK(WaitUntil([&] { return rx.Calls() >= 1; }, 2000), name);
    std::this_thread::sleep_for(milliseconds(300));  // no more calls for bytes already reported
    if (!row.secondDuringRead) {
      Command(port, "send 2 0");
      CHECK(WaitUntil([&] { return rx.Get(rx.counts).back() == row.counts.back(); }, 2000), name);
      std::this_thread::sleep_for(milliseconds(300));
    }
    // Each count is the number waiting at that moment; wine's repeats of
    // the same count are folded into one.
    std::vector<int> counts = rx.Get(rx.counts);
    const size_t calls = counts.size();
    counts.erase(std::unique(counts.begin(), counts.end()), counts.end());
    if (row.readUpTo > 0) CHECK_EQ(calls, row.counts.size(), name, ": calls for bytes already read");
    CHECK(counts == row.counts, name, ": ", counts.size(), " different counts, first ", counts.front());
    const int before = rx.Calls();
    if (row.readUpTo > 0) CHECK_EQ(rx.Get(rx.bytes).size(), size_t(5), name);
    // And the thread goes on reporting.
    CHECK(port.EventThreadRunning(), name);
    Command(port, "send 1 0");
    CHECK(WaitUntil([&] { return rx.Calls() > before; }, 2000), name);
  }
}

// An idle open port reports nothing and its event thread keeps waiting in
// the driver (what it costs in CPU time, bench/windows/bench_idle_port
// prints).
void IdlePortStaysQuiet() {
  TComPort port;
  SetUpLikeTheWindow(port, kPeer);
  RxRecorder rx;
  rx.readUpTo = [](const std::string&) { return 64; };
  rx.Attach(port);
  port.OpenPort();
  std::this_thread::sleep_for(milliseconds(1000));
  CHECK_EQ(rx.Calls(), 0);
  CHECK(port.EventThreadRunning());
  CHECK(port.Connected());
}

void CloseWakesReadBlockedInEventThread() {
  TComPort port;
  port.SetPort(kPeer);
  port.Timeouts.ReadInterval = 0;  // no time-out at all: waits for all 100 bytes
  std::mutex mutex;
  bool inRead = false;
  int failure = 0, platform = 0;
  port.OnRxChar = [&](TCustomComPort& sender, int) {
    char buffer[100];
    {
      std::lock_guard lock(mutex);
      inRead = true;
    }
    try {
      sender.ReadPort(buffer, sizeof buffer);
    } catch (const EComPort& e) {
      std::lock_guard lock(mutex);
      failure = e.ComErrorCode;
      platform = e.PlatformErrorCode;
      throw;
    }
  };
  port.OpenPort();
  Command(port, "send 1 0");
  const auto notified = [&] {
    std::lock_guard lock(mutex);
    return inRead;
  };
  CHECK(WaitUntil(notified, 2000), "no notification");
  std::this_thread::sleep_for(milliseconds(50));
  {
    std::lock_guard lock(mutex);
    CHECK_EQ(failure, 0, "the read is really blocked");
  }
  const auto start = steady_clock::now();
  port.ClosePort();
  const double took = MsSince(start);
  std::printf("  the close took %.1f ms\n", took);
  CHECK(took < 300, "close took ", took, " ms");
  {
    std::lock_guard lock(mutex);
    CHECK_EQ(failure, 3);
    CHECK(platform == kOperationAborted || platform == -1, "platform code ", platform);
  }
  CHECK(!port.Connected());
  CHECK(!port.EventThreadRunning());
  // The next period works as usual.
  port.OnRxChar = nullptr;
  port.OpenPort();
  CHECK(port.EventThreadRunning());
  Command(port, "ping");
  port.Timeouts.ReadInterval = 150;
  CHECK_EQ(Answer(port), std::string("pong"));
}

// An adapter pulled out while the port is open. Where the abort of pending
// I/O then fails (code 5; wine's abort does not), the port is closed all
// the same; either way the next opening, of the adapter plugged in again,
// works.
void CloseOfAGoneDeviceStillCloses() {
  TComPort port;
  SetUpLikeTheWindow(port, kPeer);
  port.OpenPort();
  Command(port, "hangup");
  std::this_thread::sleep_for(milliseconds(200));  // the peer has closed the line
  try {
    port.ClosePort();
  } catch (const EComPort& e) {
    std::printf("  %s\n", e.what());
    CHECK_EQ(e.ComErrorCode, 5);
  }
  CHECK(!port.Connected());
  CHECK(!port.EventThreadRunning());
  port.ClosePort();  // closed: nothing happens
  port.OpenPort();   // the peer's new line
  Command(port, "ping");
  CHECK_EQ(Answer(port), std::string("pong"));
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<telvar::test::Case> cases = {
      {"MissingPortGivesCode1WithPlatformCode2", MissingPortGivesCode1WithPlatformCode2},
      {"OpenAndCloseAreIdempotent", OpenAndCloseAreIdempotent},
      {"LineSettingsReachTheLine", LineSettingsReachTheLine},
      {"SetPortWhileOpenReopens", SetPortWhileOpenReopens},
      {"ReadEndsOnCountOrGap", ReadEndsOnCountOrGap},
      {"RepliesGoodShortAndSplit", RepliesGoodShortAndSplit},
      {"WriteTimesOutWhenDeviceDoesNotRead", WriteTimesOutWhenDeviceDoesNotRead},
      {"RxCharReportsWaitingCount", RxCharReportsWaitingCount},
      {"IdlePortStaysQuiet", IdlePortStaysQuiet},
      {"CloseWakesReadBlockedInEventThread", CloseWakesReadBlockedInEventThread},
      {"CloseOfAGoneDeviceStillCloses", CloseOfAGoneDeviceStillCloses},
  };
  return telvar::test::RunCases(argc, argv, cases);
}
