// The serial port component: one serial port with its line settings, its
// reads and writes under time-outs, and an event thread that reports the
// arrival of received bytes. Standard library only; the platform calls live
// in a back-end file of their own (posix_port.cpp, win32_port.cpp).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "com_settings.h"

namespace telvar {

// The rate in baud that a TBaudRate stands for (brCustom: customRate).
int BaudRateValue(TBaudRate rate, int customRate = 9600);

// Failure of a port operation. ComErrorCode is the component's code (1..23),
// PlatformErrorCode the platform's code behind it (errno on POSIX,
// GetLastError() on Windows) or -1.
class EComPort : public std::runtime_error {
 public:
  EComPort(int comErrorCode, int platformErrorCode);
  int ComErrorCode;
  int PlatformErrorCode;
};

// "Unable to open com port" for 1 and so on; "" for an unknown code.
std::string ComErrorText(int comErrorCode);

class TCustomComPort;

class PortBackend;  // the platform back-end (port_backend.h)

// The event thread: waits on the port and on a wake-up, and calls the port's
// OnRxChar when received bytes are waiting. Lives exactly as long as the open
// state; an exception inside it ends it quietly. It is created held: it
// waits for Start, so that its owner can store it first (a handler that runs
// at once and closes the port must find it there and stop it).
class TComThread {
 public:
  explicit TComThread(TCustomComPort& owner);
  ~TComThread();  // stops and joins
  // Lets the thread run. The owner may be closed from the handler at once, so
  // the caller must not touch this object afterwards.
  void Start();
  void Stop();  // wakes the thread and joins it (bounded: after 2 s, or when
                // called from the handler itself, the thread is left to end alone)
  // True until the thread has ended (stopped, or ended by an exception or a
  // hang-up of the line).
  bool Running() const;

 private:
  struct Shared;  // what the thread itself holds: it may outlive this object
  static void Loop(std::shared_ptr<Shared> shared, TCustomComPort* owner);
  TCustomComPort& owner_;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

class TCustomComPort {
 public:
  TCustomComPort();
  virtual ~TCustomComPort();  // closes the port first
  TCustomComPort(const TCustomComPort&) = delete;
  TCustomComPort& operator=(const TCustomComPort&) = delete;

  // Opens the port with the current settings and starts the event thread;
  // does nothing when already open. Throws EComPort (code 1, 7, 8 or 9).
  void OpenPort();
  // Aborts pending reads and writes, stops the event thread (a read blocked
  // in it fails with code 3) and closes the port, restoring the terminal
  // settings found at opening; does nothing when closed. When the abort
  // fails the port is closed all the same, then code 5 is thrown.
  void ClosePort();
  // Writes count bytes; returns when all are written or when
  // WriteTotalConstant + WriteTotalMultiplier * count ms have passed.
  // Returns the number written. Throws EComPort code 2.
  int WritePort(const void* buffer, int count);
  // Reads up to count bytes: returns as soon as count bytes have arrived, or
  // ReadInterval ms after the last byte. Throws EComPort code 3 (also when
  // ClosePort wakes a blocked read).
  int ReadPort(void* buffer, int count);

  bool Connected() const;
  // True while the event thread of the current open period runs; false when
  // closed, and after an exception or a hang-up ended the thread.
  bool EventThreadRunning() const;
  // Counts the open periods: incremented by every successful OpenPort, so a
  // notification can be told from one of an earlier opening.
  uint64_t OpenPeriod() const;

  // The name is opened as PortDevicePath gives it.
  const std::string& Port() const { return port_; }
  void SetPort(const std::string& name);  // open: close, then open under the new name
  TBaudRate BaudRate() const { return baudRate_; }
  void SetBaudRate(TBaudRate rate);  // open: line settings applied at once (code 7)

  // Settings, applied at the next OpenPort.
  TDataBits DataBits = TDataBits::dbEight;
  TStopBits StopBits = TStopBits::sbOneStopBit;
  TComParity Parity;
  TComFlowControl FlowControl;
  TComTimeouts Timeouts;
  TComBuffer Buffer;
  TSyncMethod SyncMethod = TSyncMethod::smThreadSync;
  int CustomBaudRate = 9600;

  // Called on the event thread when bytes are waiting; count is how many.
  // At most one call at a time. Exceptions thrown from it end the event
  // thread quietly. Called once per arrival: bytes the handler leaves unread
  // are not reported again until more bytes arrive (the count then includes
  // them); an arrival that a read already took is not reported. Set it before
  // OpenPort: the event thread reads it without a lock.
  std::function<void(TCustomComPort& sender, int count)> OnRxChar;

 private:
  friend class TComThread;
  std::string port_ = "COM1";
  TBaudRate baudRate_ = TBaudRate::br9600;
  std::unique_ptr<PortBackend> os_;
  std::unique_ptr<TComThread> thread_;
  std::atomic<uint64_t> openPeriod_{0};
};

// The class that the window creates.
class TComPort : public TCustomComPort {
 public:
  TComPort() = default;
};

// The path a port name stands for. POSIX: "/tmp/ttyV0" as it is, "ttyUSB0"
// as /dev/ttyUSB0. Windows: "COM3" as \\.\COM3.
std::string PortDevicePath(const std::string& name);

}  // namespace telvar
