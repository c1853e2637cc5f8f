// The platform back-end of the serial port component: opening and closing
// the device, its line settings, reads and writes under time-outs, and the
// wait of the event thread. One file per platform implements it
// (posix_port.cpp, win32_port.cpp); CMake picks the file. It reports
// failures as the platform's error codes (errno, GetLastError); the
// component turns them into EComPort.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "com_settings.h"

namespace telvar {

// The line as the component wants it, free of platform types.
struct LineSettings {
  int baud = 9600;
  int dataBits = 8;  // 5..8
  TParityBits parity = TParityBits::prNone;
  bool parityCheck = false;
  bool replaceErrors = false;  // parity errors replaced by errorChar
  char errorChar = 0;
  TStopBits stopBits = TStopBits::sbOneStopBit;
  bool ctsFlow = false;  // CTS/RTS hardware handshake
  bool dsrFlow = false;  // output waits for DSR
  bool dsrSensitivity = false;
  bool txContinueOnXoff = false;
  bool xonXoffOut = false;  // obey XON/XOFF from the device
  bool xonXoffIn = false;   // send XON/XOFF to the device
  char xonChar = 17;
  char xoffChar = 19;
  char eventChar = 0;
  bool discardNull = false;
  TDTRFlowControl dtr = TDTRFlowControl::dtrDisable;
  TRTSFlowControl rts = TRTSFlowControl::rtsDisable;
  int xonLimit = 256;  // bytes; a quarter of the receive queue
  int xoffLimit = 256;
};

// The five time-outs in milliseconds, -1 already turned into kMaxTimeout.
struct PortTimeouts {
  uint32_t readInterval = 0;
  uint32_t readTotalMultiplier = 0;
  uint32_t readTotalConstant = 0;
  uint32_t writeTotalMultiplier = 0;
  uint32_t writeTotalConstant = 0;
};

// The step of opening that failed; it picks the component's code.
enum class OpenStep {
  Device,    // code 1
  Queues,    // code 9
  Line,      // code 7
  Timeouts,  // code 8
};

// Result of a read or a write: the bytes moved and 0, an error code, or
// kAborted.
struct IoResult {
  int count = 0;
  int error = 0;
};
// A close woke the operation; no platform call failed.
constexpr int kAborted = -1;

struct PortChannel;  // what one open period holds, defined by each platform

// Waits until received bytes are waiting after a new arrival and returns how
// many; returns -1 when the event thread must end (a close woke it, the line
// hung up, or a call failed). Does not return for arrivals already reported.
int WaitForReceived(PortChannel& channel);
// Wakes every wait on the channel: the event thread and any read or write.
void WakeChannel(PortChannel& channel);

class PortBackend {
 public:
  PortBackend() = default;
  ~PortBackend();
  PortBackend(const PortBackend&) = delete;
  PortBackend& operator=(const PortBackend&) = delete;

  // Opens the port name stands for, exclusively, applies the queue sizes,
  // the line and the time-outs, and empties the receive queue. Returns 0 or
  // the platform's error code, with the step that failed.
  int Open(const std::string& name, const LineSettings& line, const TComBuffer& queues, const PortTimeouts& timeouts,
           OpenStep* failed);
  // Aborts every pending read and write and wakes the event thread; the
  // port stays open. 0 or the error code of the abort.
  int AbortIo();
  // Empties both queues, restores what opening changed and gives up the
  // device. Harmless when closed.
  void Close();
  bool IsOpen() const;
  // Applies the line settings to the open device; 0 or the error code.
  int Apply(const LineSettings& line);

  IoResult Write(const void* buffer, int count, const PortTimeouts& timeouts);
  IoResult Read(void* buffer, int count, const PortTimeouts& timeouts);

  // The open period's channel, shared with the event thread so that it
  // stays valid as long as the thread may use it. Null when closed.
  std::shared_ptr<PortChannel> Channel() const;

 private:
  // The open period's channel, left null: the start of every close.
  std::shared_ptr<PortChannel> TakeChannel();

  mutable std::mutex mutex_;  // guards channel_ only, not the I/O
  std::shared_ptr<PortChannel> channel_;
};

}  // namespace telvar
