#include "link/bus_link.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <utility>

#include "link/port_operations.h"
#include "link/traffic_log.h"

namespace telvar {

namespace {
bool IsConsoleSequence(uint8_t state) { return state >= kFirstSequenceState && state <= kLastSequenceState; }
}  // namespace

BusLink::BusLink(PortOperations& port, TrafficLog& log, QObject* parent) : QObject(parent), port_(port), log_(log) {
  const std::pair<QTimer*, const char*> timers[] = {
      {&Timer_Rx, "Timer_Rx"}, {&Timer_Programm, "Timer_Programm"}, {&Timer_Wait, "Timer_Wait"}};
  for (auto [timer, name] : timers) {
    timer->setParent(this);
    timer->setObjectName(QLatin1String(name));
    // Coarse timers may fire up to 5% late, which would stretch the poll.
    timer->setTimerType(Qt::PreciseTimer);
  }
  Timer_Rx.setInterval(kQuietIntervalMs);
  Timer_Programm.setInterval(kStepIntervalMs);
  Timer_Wait.setInterval(kStepIntervalMs);
  connect(&Timer_Rx, &QTimer::timeout, this, [this] { Timer_RxTimer(); });
  connect(&Timer_Wait, &QTimer::timeout, this, [this] { Timer_WaitTimer(); });
  port_.onReceived = [this](const QByteArray& bytes, quint64 openPeriod) { ReceiveStep(bytes, openPeriod); };
}

BusLink::~BusLink() { port_.onReceived = nullptr; }

int BusLink::ReadTimeout() const {
  if (sequencingState == kStateSearch) return searchDelay;
  return hooks.readTimeoutMs ? hooks.readTimeoutMs() : kDefaultReadTimeoutMs;
}

bool BusLink::SendReadHoldingRegisters(uint16_t start, uint16_t count, uint8_t kind) {
  const uint8_t expected = BuildReadHoldingRegisters(frame, deviceAddress, start, count);
  return Send(frame, kTwoWordRequestLength, expected, ReadTimeout(), kind);
}

bool BusLink::SendWriteSingleRegister(uint16_t reg, uint16_t value, uint8_t kind) {
  const uint8_t expected = BuildWriteSingleRegister(frame, deviceAddress, reg, value);
  return Send(frame, kTwoWordRequestLength, expected, kWriteTimeoutMs, kind);
}

bool BusLink::SendBroadcastWriteSingleRegister(uint16_t reg, uint16_t value, uint8_t kind) {
  const uint8_t expected = BuildWriteSingleRegister(frame, 0, reg, value);
  return Send(frame, kTwoWordRequestLength, expected, kWriteTimeoutMs, kind);
}

bool BusLink::SendFrame(FrameBuffer request, uint8_t length, uint8_t expectedLength, uint8_t kind) {
  return Send(request, length, expectedLength, kWriteTimeoutMs, kind);
}

bool BusLink::Send(const FrameBuffer& request, uint8_t length, uint8_t expectedLength, int timeoutMs, uint8_t kind) {
  if (&request != &frame) frame = request;
  log_.LogRequest(frame.data(), length);
  try {
    // The limit first: the first read of a new opening already takes this
    // request's reply length.
    port_.SetReadLimit(expectedLength);
    port_.OpenPort();
    expectedReplyLength = expectedLength;
    port_.WritePort(frame.data(), length);
    Timer_Rx.setInterval(timeoutMs);
    Timer_Rx.start();
  } catch (const std::exception&) {
    log_.SetColor(kLogBlue);
    log_.AddLine(kLinePortError + port_.PortName());
    // No transaction end follows: nothing may stay waiting for one. The
    // guard would leave the check boxes dead, and a sequence's second write
    // could later reach another device. A port whose write failed (an
    // adapter pulled out) is closed too: left open, it would take every
    // later request, each failing the same way, until the program ends.
    try {
      port_.ClosePort();
    } catch (const std::exception&) {
      // Closing a port that has gone may fail; it is closed all the same.
    }
    echoGuard = 0;
    pendingReplyKind = kReplyNone;
    if (IsConsoleSequence(sequencingState)) sequencingState = kStateIdle;
    return false;
  }
  pendingReplyKind = kind;
  return true;
}

void BusLink::ReceiveStep(const QByteArray& bytes, quint64 openPeriod) {
  // Bytes read in an earlier opening of the port, or after the transaction
  // has ended, belong to no request: a reply that comes after its time-out
  // is lost.
  if (openPeriod != port_.OpenPeriod() || !Timer_Rx.isActive()) return;
  const int count = std::min<int>(bytes.size(), frame.size() - 1);
  std::memcpy(frame.data(), bytes.constData(), size_t(count));
  receivedCount = uint16_t(count);
  Timer_Rx.setInterval(kQuietIntervalMs);
  Timer_Rx.start();
}

void BusLink::Timer_RxTimer() {
  Timer_Rx.stop();
  try {
    if (sequencingState != kStateSearch) port_.ClosePort();
    log_.SetColor(kLogBlue);
    if (receivedCount != 0 && ReplyCrcOk(frame, receivedCount)) {
      LogReply();
    } else if (sequencingState == kStateSearch) {
      // A search step logs nothing for a bad or missing reply; after the
      // last address the search ends without a find.
      if (deviceAddress > kMaxAddress && hooks.searchEndedWithoutFind) hooks.searchEndedWithoutFind();
    } else if (receivedCount != 0) {
      pendingReplyKind = kReplyRejected;
      LogReply();
      log_.AddLine(kLineCrcError);
    } else {
      log_.AddLine(kLineTimeOut);
    }
    // Closes the port when the search has just ended.
    if (sequencingState != kStateSearch) port_.ClosePort();
  } catch (const std::exception& error) {
    // A port that cannot be closed is shown; the rest of the end is skipped.
    if (hooks.showError) hooks.showError(QString::fromLocal8Bit(error.what()));
    return;
  }
  receivedCount = 0;
  pendingReplyKind = kReplyNone;
  echoGuard = 0;
  if (deferredClick) {
    deferredClick = 0;
    Timer_Wait.start();
  } else if (sequencingState != kStateIdle) {
    Timer_Programm.start();
  }
  emit transactionEnded();
}

void BusLink::LogReply() {
  log_.DeleteLastLine();
  log_.AddLines(ByteLines(kReplyPrefix, frame.data(), receivedCount));
  DispatchReply();
}

void BusLink::DispatchReply() {
  // One byte has no function code: byte 1 is still the request's.
  if (receivedCount < 2) return;
  switch (frame[1]) {
    case 3:
      if (pendingReplyKind == kReplyStatus && hooks.statusDecoder) {
        pendingReplyKind = hooks.statusDecoder();
      } else if (pendingReplyKind == kReplyIdentification && hooks.identificationDecoder) {
        pendingReplyKind = hooks.identificationDecoder();
      }
      if (pendingReplyKind != kReplyRejected) log_.AddLine(kLineOk);
      break;
    case 6:
      if (pendingReplyKind == kReplyAddressWrite && hooks.addressReplyHandler) {
        hooks.addressReplyHandler();
      } else if (pendingReplyKind == kReplyBaudWrite && hooks.baudReplyHandler) {
        hooks.baudReplyHandler();
      }
      if (pendingReplyKind != kReplyRejected) log_.AddLine(kLineOk);
      break;
    case 16:
      if (pendingReplyKind != kReplyRejected) log_.AddLine(kLineOk);
      break;
    case 131:
    case 134:
    case 144: log_.AddLine(kLineError); break;
    default: break;
  }
}

bool BusLink::CommandGate(std::function<void()> handler) {
  if (sequencingState != kStateIdle) {
    Timer_Programm.stop();
    Timer_Programm.setInterval(kStepIntervalMs);
  }
  // A click while a reply is awaited waits for that transaction to end, in
  // every state: its request would otherwise cross the reply on the bus.
  if (Timer_Rx.isActive()) {
    parkedClick_ = std::move(handler);
    deferredClick = 1;
    return true;
  }
  Timer_Wait.stop();
  deferredClick = 0;
  parkedClick_ = nullptr;
  Timer_Programm.setInterval(kPollIntervalMs);
  return false;
}

bool BusLink::CommandHeld(std::function<void()> handler, bool checkEchoGuard) {
  if (sequencingState == kStateSearch) return true;
  if (checkEchoGuard && echoGuard) return true;
  return CommandGate(std::move(handler));
}

void BusLink::StartOperation(uint8_t state, int intervalMs) {
  sequencingState = state;
  Timer_Programm.setInterval(intervalMs);
  Timer_Programm.start();
}

bool BusLink::BeginStep() {
  Timer_Programm.stop();
  return !Timer_Rx.isActive();
}

void BusLink::DiscardParkedClick() {
  Timer_Wait.stop();
  deferredClick = 0;
  parkedClick_ = nullptr;
}

void BusLink::Timer_WaitTimer() {
  // Once per parked click: a handler that returns before the gate must not
  // leave the timer replaying it every 20 ms.
  Timer_Wait.stop();
  auto click = std::exchange(parkedClick_, nullptr);
  if (!click) return;
  try {
    click();
  } catch (const std::exception& error) {
    if (hooks.showError) hooks.showError(QString::fromLocal8Bit(error.what()));
  } catch (...) {
    if (hooks.showError) hooks.showError(QStringLiteral("Unknown error"));
  }
}

}  // namespace telvar
