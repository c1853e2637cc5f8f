// The POSIX back-end of the serial port component: a tty opened
// non-blocking and exclusively, termios line settings, poll-based reads and
// writes under deadlines, and the wait of the event thread. It reports
// failures as errno values; the component turns them into EComPort.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "com_port.h"

namespace telvar {

// The line as the component wants it, free of platform types.
struct LineSettings {
  int baud = 9600;
  int dataBits = 8;  // 5..8
  TParityBits parity = TParityBits::prNone;
  bool parityCheck = false;
  TStopBits stopBits = TStopBits::sbOneStopBit;
  bool ctsFlow = false;     // CTS/RTS hardware handshake
  bool xonXoffOut = false;  // obey XON/XOFF from the device
  bool xonXoffIn = false;   // send XON/XOFF to the device
  char xonChar = 17;
  char xoffChar = 19;
  bool dtrOn = false;
  bool rtsOn = false;
};

LineSettings LineSettingsOf(const TCustomComPort& port);

// Result of a read or a write: the bytes moved and 0, an errno, or kAborted.
struct IoResult {
  int count = 0;
  int error = 0;
};
// A close woke the operation; no platform call failed.
constexpr int kAborted = -1;

struct PosixChannel;  // the descriptors of one open period

// Waits until received bytes are waiting after a new arrival and returns how
// many; returns -1 when the event thread must end (a close woke it, the line
// hung up, or a call failed). Does not return for arrivals already reported.
int WaitForReceived(PosixChannel& channel);
// Wakes every wait on the channel: the event thread and any read or write.
void WakeChannel(PosixChannel& channel);

class PosixPort {
 public:
  PosixPort() = default;
  ~PosixPort();
  PosixPort(const PosixPort&) = delete;
  PosixPort& operator=(const PosixPort&) = delete;

  // Opens path as a tty, exclusively, applies the line and empties the
  // receive queue. Returns 0 or the errno; failureIsLine tells whether the
  // line settings were what failed.
  int Open(const std::string& path, const LineSettings& line, bool* failureIsLine);
  // Empties both queues, restores the settings found at opening and gives up
  // the device. Harmless when closed.
  void Close();
  bool IsOpen() const;
  // Applies the line settings to the open device; 0 or the errno.
  int Apply(const LineSettings& line);

  IoResult Write(const void* buffer, int count, uint32_t totalMultiplier, uint32_t totalConstant);
  IoResult Read(void* buffer, int count, uint32_t interval, uint32_t totalMultiplier,
                uint32_t totalConstant);

  // The open period's descriptors, shared with the event thread so that they
  // stay valid as long as the thread may use them. Null when closed.
  std::shared_ptr<PosixChannel> Channel() const;

 private:
  mutable std::mutex mutex_;  // guards channel_ only, not the I/O
  std::shared_ptr<PosixChannel> channel_;
};

}  // namespace telvar
