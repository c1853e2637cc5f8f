#include "com_port.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <system_error>

#include "io_deadline.h"
#include "port_backend.h"

namespace telvar {

namespace {

// How long a close waits for the event thread. A handler that is still busy
// after that is left to finish on its own (see TComThread::Stop).
constexpr std::chrono::seconds kStopBound{2};

std::string ComErrorMessage(int comErrorCode, int platformErrorCode) {
  std::string message = ComErrorText(comErrorCode);
  if (platformErrorCode != -1) {
    char code[48];
    std::snprintf(code, sizeof code, " (win error code: %d)", platformErrorCode);
    message += code;
  }
  return message;
}

// The one place where the back-end's outcome becomes an EComPort: 0 is
// success, kAborted a close that woke the operation (no platform code),
// anything else the errno.
void ThrowIfFailed(int comErrorCode, int error) {
  if (error == 0) return;
  throw EComPort(comErrorCode, error == kAborted ? -1 : error);
}

int OpenFailureCode(OpenStep step) {
  switch (step) {
    case OpenStep::Device: return 1;
    case OpenStep::Queues: return 9;
    case OpenStep::Line: return 7;
    case OpenStep::Timeouts: return 8;
  }
  return 1;
}

}  // namespace

int BaudRateValue(TBaudRate rate, int customRate) {
  switch (rate) {
    case TBaudRate::brCustom: return customRate;
    case TBaudRate::br110: return 110;
    case TBaudRate::br300: return 300;
    case TBaudRate::br600: return 600;
    case TBaudRate::br1200: return 1200;
    case TBaudRate::br2400: return 2400;
    case TBaudRate::br4800: return 4800;
    case TBaudRate::br9600: return 9600;
    case TBaudRate::br14400: return 14400;
    case TBaudRate::br19200: return 19200;
    case TBaudRate::br38400: return 38400;
    case TBaudRate::br56000: return 56000;
    case TBaudRate::br57600: return 57600;
    case TBaudRate::br115200: return 115200;
    case TBaudRate::br128000: return 128000;
    case TBaudRate::br256000: return 256000;
  }
  return customRate;
}

std::string ComErrorText(int comErrorCode) {
  static const char* const kTexts[] = {
      "Unable to open com port",
      "WriteFile function failed",
      "ReadFile function failed",
      "Invalid Async parameter",
      "PurgeComm function failed",
      "Unable to get async status",
      "SetCommState function failed",
      "SetCommTimeouts failed",
      "SetupComm function failed",
      "ClearCommError function failed",
      "GetCommModemStatus function failed",
      "EscapeCommFunction function failed",
      "TransmitCommChar function failed",
      "Cannot set property while connected",
      "EnumPorts function failed",
      "Failed to store settings",
      "Failed to load settings",
      "Link (un)registration failed",
      "Cannot change led state if ComPort is selected",
      "Cannot wait for event if event thread is created",
      "WaitForEvent method failed",
      "A component is linked to OnRxBuf event",
      "Registry error",
  };
  constexpr int kCount = sizeof kTexts / sizeof kTexts[0];
  if (comErrorCode < 1 || comErrorCode > kCount) return {};
  return kTexts[comErrorCode - 1];
}

EComPort::EComPort(int comErrorCode, int platformErrorCode)
    : std::runtime_error(ComErrorMessage(comErrorCode, platformErrorCode)),
      ComErrorCode(comErrorCode),
      PlatformErrorCode(platformErrorCode) {}

namespace {

// The component's settings as the back-end takes them.
LineSettings LineSettingsOf(const TCustomComPort& port) {
  LineSettings line;
  line.baud = BaudRateValue(port.BaudRate(), port.CustomBaudRate);
  line.dataBits = 5 + static_cast<int>(port.DataBits);
  line.parity = port.Parity.Bits;
  line.parityCheck = port.Parity.Check;
  line.replaceErrors = port.Parity.Check && port.Parity.Replace;
  line.errorChar = port.Parity.ReplaceChar;
  line.stopBits = port.StopBits;
  const TComFlowControl& flow = port.FlowControl;
  line.ctsFlow = flow.OutCTSFlow;
  line.dsrFlow = flow.OutDSRFlow;
  line.dsrSensitivity = flow.DSRSensitivity;
  line.txContinueOnXoff = flow.TxContinueOnXoff;
  line.xonXoffOut = flow.XonXoffOut;
  line.xonXoffIn = flow.XonXoffIn;
  line.xonChar = flow.XonChar;
  line.xoffChar = flow.XoffChar;
  line.dtr = flow.ControlDTR;
  line.rts = flow.ControlRTS;
  line.xonLimit = line.xoffLimit = port.Buffer.InputSize / 4;
  return line;
}

PortTimeouts PortTimeoutsOf(const TComTimeouts& t) {
  return {TimeoutField(t.ReadInterval), TimeoutField(t.ReadTotalMultiplier), TimeoutField(t.ReadTotalConstant),
          TimeoutField(t.WriteTotalMultiplier), TimeoutField(t.WriteTotalConstant)};
}

}  // namespace

// --- the event thread ---------------------------------------------------------

struct TComThread::Shared {
  std::shared_ptr<PortChannel> channel;
  std::atomic<bool> stopping{false};
  std::mutex mutex;
  std::condition_variable cv;
  bool started = false;  // Start was called
  bool ended = false;
};

TComThread::TComThread(TCustomComPort& owner) : owner_(owner), shared_(std::make_shared<Shared>()) {
  shared_->channel = owner.os_->Channel();
  if (!shared_->channel) throw EComPort(1, -1);
  try {
    thread_ = std::thread(&TComThread::Loop, shared_, &owner_);
  } catch (const std::system_error& e) {
    throw EComPort(1, e.code().value());
  }
}

TComThread::~TComThread() { Stop(); }

void TComThread::Start() {
  // Notified under the lock: the moment the lock is let go, the handler may
  // close the port and destroy this object.
  const std::shared_ptr<Shared> shared = shared_;
  std::lock_guard lock(shared->mutex);
  shared->started = true;
  shared->cv.notify_all();
}

// The thread touches only what it holds itself and, while not stopping, its
// owner's handler: after a bounded Stop gave up on it, it must not reach into
// objects that are gone.
void TComThread::Loop(std::shared_ptr<Shared> shared, TCustomComPort* owner) {
  {
    // Everything the owner stored before Start is seen from here on.
    std::unique_lock lock(shared->mutex);
    shared->cv.wait(lock, [&] { return shared->started || shared->stopping; });
  }
  try {
    while (!shared->stopping) {
      const int waiting = WaitForReceived(*shared->channel);
      if (waiting <= 0 || shared->stopping) break;
      if (owner->OnRxChar) owner->OnRxChar(*owner, waiting);
    }
  } catch (...) {
    // A failed read in the handler (a close wakes a blocked read, which then
    // fails) or any other exception ends the thread quietly.
  }
  {
    std::lock_guard lock(shared->mutex);
    shared->ended = true;
  }
  shared->cv.notify_all();
}

void TComThread::Stop() {
  {
    // Under the lock, so that a thread still held for Start cannot miss it.
    std::lock_guard lock(shared_->mutex);
    shared_->stopping = true;
  }
  shared_->cv.notify_all();
  if (shared_->channel) WakeChannel(*shared_->channel);
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    // Closed from inside the handler: the thread ends when the handler returns.
    thread_.detach();
    return;
  }
  std::unique_lock lock(shared_->mutex);
  const bool ended = shared_->cv.wait_for(lock, kStopBound, [this] { return shared_->ended; });
  lock.unlock();
  if (ended)
    thread_.join();
  else
    thread_.detach();  // a handler that does not return: never hang the close
}

bool TComThread::Running() const {
  std::lock_guard lock(shared_->mutex);
  return !shared_->ended;
}

// --- the port -------------------------------------------------------------------

TCustomComPort::TCustomComPort() : os_(std::make_unique<PortBackend>()) {}

TCustomComPort::~TCustomComPort() {
  try {
    ClosePort();
  } catch (...) {
  }
}

void TCustomComPort::OpenPort() {
  if (Connected()) return;
  OpenStep failed = OpenStep::Device;
  const int error = os_->Open(port_, LineSettingsOf(*this), Buffer, PortTimeoutsOf(Timeouts), &failed);
  ThrowIfFailed(OpenFailureCode(failed), error);
  ++openPeriod_;
  try {
    thread_ = std::make_unique<TComThread>(*this);
  } catch (...) {
    os_->Close();
    throw;
  }
  // The last step: from here on the handler may run and even close the port.
  thread_->Start();
}

void TCustomComPort::ClosePort() {
  if (!Connected()) return;
  // Pending reads and writes are aborted first: a read blocked in the event
  // thread fails at once, and the thread can end.
  const int abortError = os_->AbortIo();
  if (thread_) {
    thread_->Stop();
    thread_.reset();
  }
  os_->Close();
  // A failed abort is reported once the port is closed all the same: a port
  // that could never be closed again would hold the device for good.
  ThrowIfFailed(5, abortError);
}

int TCustomComPort::WritePort(const void* buffer, int count) {
  const IoResult r = os_->Write(buffer, count, PortTimeoutsOf(Timeouts));
  ThrowIfFailed(2, r.error);
  return r.count;
}

int TCustomComPort::ReadPort(void* buffer, int count) {
  const IoResult r = os_->Read(buffer, count, PortTimeoutsOf(Timeouts));
  ThrowIfFailed(3, r.error);
  return r.count;
}

bool TCustomComPort::Connected() const { return os_->IsOpen(); }

bool TCustomComPort::EventThreadRunning() const { return Connected() && thread_ && thread_->Running(); }

uint64_t TCustomComPort::OpenPeriod() const { return openPeriod_; }

void TCustomComPort::SetPort(const std::string& name) {
  if (name == port_) return;
  port_ = name;
  if (!Connected()) return;
  ClosePort();
  OpenPort();  // a failure leaves the port closed (code 1)
}

void TCustomComPort::SetBaudRate(TBaudRate rate) {
  if (rate == baudRate_) return;
  baudRate_ = rate;
  if (!Connected()) return;
  ThrowIfFailed(7, os_->Apply(LineSettingsOf(*this)));
}

}  // namespace telvar
