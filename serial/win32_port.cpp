// The Win32 back-end of the serial port component: a COM device opened for
// overlapped I/O, the line in a device-control block, the read and write
// time-outs kept by the driver, and the event thread's overlapped wait for
// port events. Failures are reported as GetLastError() codes.
#include <windows.h>

#include <climits>

#include "com_port.h"
#include "port_backend.h"

namespace telvar {

struct PortChannel {
  HANDLE port = INVALID_HANDLE_VALUE;
  HANDLE stop = nullptr;       // manual reset, set once by a close: ends every wait on the port
  HANDLE eventWait = nullptr;  // the record's event of the event thread's wait for port events

  std::mutex timeoutsMutex;  // reads (event thread) and writes (caller) may set them at once
  PortTimeouts applied{};    // what the driver holds

  PortChannel() = default;
  PortChannel(const PortChannel&) = delete;
  PortChannel& operator=(const PortChannel&) = delete;
  ~PortChannel() {
    for (HANDLE event : {eventWait, stop})
      if (event) CloseHandle(event);
    if (port != INVALID_HANDLE_VALUE) CloseHandle(port);
  }
};

namespace {

// The events the window has the port wait for: all ten.
constexpr DWORD kAllEvents =
    EV_RXCHAR | EV_RXFLAG | EV_TXEMPTY | EV_CTS | EV_DSR | EV_RLSD | EV_BREAK | EV_ERR | EV_RING | EV_RX80FULL;

int LastError() { return static_cast<int>(GetLastError()); }

// The device-control block of a line. The component's enumerations are in
// the order of the block's values: dtrDisable..dtrHandshake are 0..2,
// rtsDisable..rtsToggle 0..3, prNone..prSpace 0..4 and sbOneStopBit..
// sbTwoStopBits 0..2.
DCB DcbOf(const LineSettings& line) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  dcb.BaudRate = static_cast<DWORD>(line.baud);
  dcb.fBinary = 1;
  dcb.fParity = line.parityCheck ? 1 : 0;
  dcb.fOutxCtsFlow = line.ctsFlow ? 1 : 0;
  dcb.fOutxDsrFlow = line.dsrFlow ? 1 : 0;
  dcb.fDtrControl = static_cast<DWORD>(line.dtr);
  dcb.fDsrSensitivity = line.dsrSensitivity ? 1 : 0;
  dcb.fTXContinueOnXoff = line.txContinueOnXoff ? 1 : 0;
  dcb.fOutX = line.xonXoffOut ? 1 : 0;
  dcb.fInX = line.xonXoffIn ? 1 : 0;
  if (line.replaceErrors) {
    dcb.fErrorChar = 1;
    dcb.ErrorChar = line.errorChar;
  }
  dcb.fNull = line.discardNull ? 1 : 0;
  dcb.fRtsControl = static_cast<DWORD>(line.rts);
  dcb.XonLim = static_cast<WORD>(line.xonLimit);
  dcb.XoffLim = static_cast<WORD>(line.xoffLimit);
  dcb.ByteSize = static_cast<BYTE>(line.dataBits);
  dcb.Parity = static_cast<BYTE>(line.parity);
  dcb.StopBits = static_cast<BYTE>(line.stopBits);
  dcb.XonChar = line.xonChar;
  dcb.XoffChar = line.xoffChar;
  dcb.EvtChar = line.eventChar;
  return dcb;
}

// The five fields copied in the driver's order; -1 was already turned into
// MAXDWORD.
COMMTIMEOUTS CommTimeoutsOf(const PortTimeouts& t) {
  return {t.readInterval, t.readTotalMultiplier, t.readTotalConstant, t.writeTotalMultiplier, t.writeTotalConstant};
}

bool SameTimeouts(const PortTimeouts& a, const PortTimeouts& b) {
  return a.readInterval == b.readInterval && a.readTotalMultiplier == b.readTotalMultiplier &&
         a.readTotalConstant == b.readTotalConstant && a.writeTotalMultiplier == b.writeTotalMultiplier &&
         a.writeTotalConstant == b.writeTotalConstant;
}

// The driver keeps the time-outs, the component has them per call: they are
// handed to the driver again only when they changed since.
int UseTimeouts(PortChannel& ch, const PortTimeouts& timeouts) {
  std::lock_guard lock(ch.timeoutsMutex);
  if (SameTimeouts(ch.applied, timeouts)) return 0;
  COMMTIMEOUTS ct = CommTimeoutsOf(timeouts);
  if (!SetCommTimeouts(ch.port, &ct)) return LastError();
  ch.applied = timeouts;
  return 0;
}

bool Stopped(const PortChannel& ch) { return WaitForSingleObject(ch.stop, 0) == WAIT_OBJECT_0; }

// Closes the record's event of one read or write.
struct OwnedEvent {
  HANDLE handle = CreateEventA(nullptr, TRUE, TRUE, nullptr);  // manual reset, signalled
  OwnedEvent() = default;
  OwnedEvent(const OwnedEvent&) = delete;
  OwnedEvent& operator=(const OwnedEvent&) = delete;
  ~OwnedEvent() {
    if (handle) CloseHandle(handle);
  }
};

// Runs one overlapped read or write to its end: start begins it with the
// record, then the record's event is waited for together with the stop
// event. A close cancels what is still pending; the operation is waited for
// until it has ended, because the driver writes into its record.
template <typename Start>
IoResult RunOverlapped(PortChannel& ch, Start start) {
  if (Stopped(ch)) return {0, kAborted};
  OwnedEvent event;
  if (!event.handle) return {0, LastError()};
  OVERLAPPED record{};
  record.hEvent = event.handle;
  if (!start(&record) && GetLastError() != ERROR_IO_PENDING) return {0, LastError()};
  const HANDLE waits[2] = {record.hEvent, ch.stop};
  if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) (void)CancelIoEx(ch.port, &record);
  DWORD moved = 0;
  if (GetOverlappedResult(ch.port, &record, &moved, TRUE)) return {static_cast<int>(moved), 0};
  const DWORD error = GetLastError();
  // A read or write that ran out of its time has ended with the bytes it
  // moved; Windows reports that as success, wine as ERROR_TIMEOUT.
  if (error == ERROR_TIMEOUT) return {static_cast<int>(moved), 0};
  return {static_cast<int>(moved), static_cast<int>(error)};
}

bool BadArguments(const void* buffer, int count) { return count < 0 || (buffer == nullptr && count > 0); }

}  // namespace

// --- the event thread's wait --------------------------------------------------

// One overlapped wait for port events at a time, then the reported set is
// handled before the next: line errors are collected and cleared, received
// bytes are reported when some are still waiting (an arrival that a read
// already took finds none), and the modem lines are read for their events.
// Any failure ends the event thread, as a hang-up does on other platforms:
// waiting again on a port that fails would only spin.
int WaitForReceived(PortChannel& ch) {
  for (;;) {
    DWORD mask = 0;
    OVERLAPPED record{};
    record.hEvent = ch.eventWait;
    if (!WaitCommEvent(ch.port, &mask, &record)) {
      if (GetLastError() != ERROR_IO_PENDING) return -1;
      const HANDLE waits[2] = {ch.stop, record.hEvent};
      const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
      DWORD unused = 0;
      if (woken != WAIT_OBJECT_0 + 1) {
        // Leaving: an empty event mask ends the pending wait (a cancel alone
        // does not under wine), and the wait must have ended before its
        // record goes.
        (void)SetCommMask(ch.port, 0);
        (void)CancelIoEx(ch.port, &record);
        (void)GetOverlappedResult(ch.port, &record, &unused, TRUE);
        return -1;
      }
      if (!GetOverlappedResult(ch.port, &record, &unused, FALSE)) return -1;
    }
    if (mask & EV_ERR) {
      DWORD errors = 0;
      if (!ClearCommError(ch.port, &errors, nullptr)) return -1;
    }
    if (mask & EV_RXCHAR) {
      DWORD errors = 0;
      COMSTAT status{};
      if (!ClearCommError(ch.port, &errors, &status)) return -1;
      if (status.cbInQue > 0) return static_cast<int>(status.cbInQue > INT_MAX ? INT_MAX : status.cbInQue);
    }
    if (mask & (EV_CTS | EV_DSR | EV_RLSD)) {
      DWORD lines = 0;
      if (!GetCommModemStatus(ch.port, &lines)) return -1;
    }
  }
}

void WakeChannel(PortChannel& ch) {
  if (ch.stop) SetEvent(ch.stop);
}

// --- the port -------------------------------------------------------------------

std::string PortDevicePath(const std::string& name) { return "\\\\.\\" + name; }

PortBackend::~PortBackend() { Close(); }

int PortBackend::Open(const std::string& name, const LineSettings& line, const TComBuffer& queues,
                      const PortTimeouts& timeouts, OpenStep* failed) {
  *failed = OpenStep::Device;
  Close();
  // A name with a NUL byte (a line of the port list file, say) would open
  // the shorter name before it, which is not the port asked for.
  if (name.find('\0') != std::string::npos) return ERROR_FILE_NOT_FOUND;
  // The channel closes whatever it holds when an early return drops it.
  auto ch = std::make_shared<PortChannel>();
  ch->port = CreateFileA(PortDevicePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  if (ch->port == INVALID_HANDLE_VALUE) return LastError();

  if (!SetupComm(ch->port, static_cast<DWORD>(queues.InputSize), static_cast<DWORD>(queues.OutputSize))) {
    *failed = OpenStep::Queues;
    return LastError();
  }
  DCB dcb = DcbOf(line);
  if (!SetCommState(ch->port, &dcb)) {
    *failed = OpenStep::Line;
    return LastError();
  }
  COMMTIMEOUTS ct = CommTimeoutsOf(timeouts);
  if (!SetCommTimeouts(ch->port, &ct)) {
    *failed = OpenStep::Timeouts;
    return LastError();
  }
  ch->applied = timeouts;

  ch->stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!ch->stop) return LastError();
  ch->eventWait = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  if (!ch->eventWait) return LastError();
  if (!SetCommMask(ch->port, kAllEvents)) return LastError();
  // A fresh open starts with an empty receive queue.
  (void)PurgeComm(ch->port, PURGE_RXCLEAR);

  std::lock_guard lock(mutex_);
  channel_ = std::move(ch);
  return 0;
}

int PortBackend::AbortIo() {
  const auto ch = Channel();
  if (!ch) return 0;
  const int error = PurgeComm(ch->port, PURGE_TXABORT | PURGE_RXABORT) ? 0 : LastError();
  // Where the purge leaves an overlapped read pending (wine does), the
  // cancel ends it, so that a read blocked in the event thread always fails.
  (void)CancelIoEx(ch->port, nullptr);
  WakeChannel(*ch);
  return error;
}

void PortBackend::Close() {
  const std::shared_ptr<PortChannel> ch = TakeChannel();
  if (!ch) return;
  WakeChannel(*ch);
  // No more port events, and nothing left in either queue.
  (void)SetCommMask(ch->port, 0);
  (void)PurgeComm(ch->port, PURGE_TXCLEAR | PURGE_RXCLEAR);
  // The handle closes with the last holder of the channel: normally here, or
  // when a late event thread lets go of it.
}

int PortBackend::Apply(const LineSettings& line) {
  const auto ch = Channel();
  if (!ch) return ERROR_INVALID_HANDLE;
  DCB dcb = DcbOf(line);
  return SetCommState(ch->port, &dcb) ? 0 : LastError();
}

IoResult PortBackend::Write(const void* buffer, int count, const PortTimeouts& timeouts) {
  const auto ch = Channel();
  if (!ch) return {0, ERROR_INVALID_HANDLE};
  if (BadArguments(buffer, count)) return {0, ERROR_INVALID_PARAMETER};
  if (const int e = UseTimeouts(*ch, timeouts)) return {0, e};
  return RunOverlapped(
      *ch, [&](OVERLAPPED* record) { return WriteFile(ch->port, buffer, static_cast<DWORD>(count), nullptr, record); });
}

IoResult PortBackend::Read(void* buffer, int count, const PortTimeouts& timeouts) {
  const auto ch = Channel();
  if (!ch) return {0, ERROR_INVALID_HANDLE};
  if (BadArguments(buffer, count)) return {0, ERROR_INVALID_PARAMETER};
  if (count == 0) return {0, Stopped(*ch) ? kAborted : 0};
  if (const int e = UseTimeouts(*ch, timeouts)) return {0, e};
  return RunOverlapped(
      *ch, [&](OVERLAPPED* record) { return ReadFile(ch->port, buffer, static_cast<DWORD>(count), nullptr, record); });
}

}  // namespace telvar
