// The bus link: the frame buffer and the variables of the transaction cycle,
// the senders, the receive step, the end of a transaction with its routing
// of the reply, the command gate and the three timers. One per program; it
// knows nothing of the windows: each program hands it its decoders and
// reply handlers.
#pragma once

#include <cstdint>
#include <functional>

#include <QObject>
#include <QTimer>

#include "link/frame.h"

namespace telvar {

class PortOperations;
class TrafficLog;

// Pending reply kinds: which handler gets the next good reply.
enum ReplyKind : uint8_t {
  kReplyNone = 0,
  kReplyAddressWrite = 1,
  kReplyBaudWrite = 2,
  kReplyStatus = 3,
  kReplyCommand = 6,
  kReplyCalibration = 7,  // also the function-16 linear resistance write
  kReplyCableLength = 8,
  kReplyModelWrite = 9,
  kReplyIdentification = 254,
  kReplyRejected = 255,
};

// Sequencing states: which multi-step operation runs.
enum SequencingState : uint8_t {
  kStateIdle = 0,
  kStateSearch = 254,
  kStateCyclicPoll = 255,
};
// The states a console's own two-step sequences may take; a port failure
// ends any of them.
constexpr uint8_t kFirstSequenceState = 1;
constexpr uint8_t kLastSequenceState = 8;

constexpr int kWriteTimeoutMs = 350;
constexpr int kDefaultReadTimeoutMs = 700;
constexpr int kQuietIntervalMs = 5;
// Intervals of Timer_Programm: between the steps of a sequence (and before
// the step that follows a command given while an operation runs), and
// between the status requests of the cyclic poll.
constexpr int kStepIntervalMs = 20;
constexpr int kPollIntervalMs = 500;

class BusLink : public QObject {
  Q_OBJECT
 public:
  struct Hooks {
    // Function-3 decoders: read the frame buffer, return the new pending
    // reply kind (kReplyRejected when the reply is not taken).
    std::function<uint8_t()> statusDecoder;
    std::function<uint8_t()> identificationDecoder;
    // Function-6 reply handlers of the address and baud writes.
    std::function<void()> addressReplyHandler;
    std::function<void()> baudReplyHandler;
    // A search step at an address above 247 brought no good reply.
    std::function<void()> searchEndedWithoutFind;
    // Reply time-out of a read outside a search, in ms.
    std::function<int()> readTimeoutMs;
    // A failure the user must see: the port could not be closed at the end
    // of a transaction, or a replayed click failed. The window shows it.
    std::function<void(const QString& message)> showError;
  };

  BusLink(PortOperations& port, TrafficLog& log, QObject* parent = nullptr);
  ~BusLink() override;

  // The variables of the cycle (UI thread only).
  FrameBuffer frame{};
  uint8_t deviceAddress = kMaxAddress;
  uint8_t baudIndex = 3;
  uint16_t receivedCount = 0;
  uint8_t echoGuard = 0;
  uint8_t pendingReplyKind = kReplyNone;
  uint8_t deferredClick = 0;
  uint8_t sequencingState = kStateIdle;
  uint8_t expectedReplyLength = 0;
  uint16_t searchDelay = 150;
  uint16_t modelIdToWrite = 0;

  // Timer_Rx: reply time-out, then the quiet interval; active while a
  // transaction is outstanding. Timer_Programm: next step of the running
  // operation (its timeout is connected by the program). Timer_Wait: replays
  // a parked click.
  QTimer Timer_Rx;
  QTimer Timer_Programm;
  QTimer Timer_Wait;

  Hooks hooks;

  // Senders. Each frames the request, logs it, opens the port, writes it and
  // arms Timer_Rx; then it sets the pending reply kind to kind. When the
  // port cannot be opened or written it logs the port-failure line, closes
  // the port, resets the echo guard and the pending reply kind, abandons a
  // two-step sequence (states 1..8 go back to 0) and returns false; no
  // transaction end follows.
  bool SendReadHoldingRegisters(uint16_t start, uint16_t count, uint8_t kind);
  bool SendWriteSingleRegister(uint16_t reg, uint16_t value, uint8_t kind);
  bool SendBroadcastWriteSingleRegister(uint16_t reg, uint16_t value, uint8_t kind);
  // The caller's frame (a copy: it may be built in the frame buffer itself),
  // CRC included.
  bool SendFrame(FrameBuffer request, uint8_t length, uint8_t expectedLength, uint8_t kind);

  // The command gate: true when the click has been parked (the handler then
  // returns at once and runs again 20 ms after the outstanding transaction
  // ends). A click is parked whenever a transaction is outstanding.
  bool CommandGate(std::function<void()> handler);
  // The checks every command makes before it sends: nothing during a bus
  // search; with checkEchoGuard, nothing while a reply that sets the
  // controls is awaited; then the command gate, which may park handler.
  // True when the command must not send now.
  bool CommandHeld(std::function<void()> handler, bool checkEchoGuard = false);
  // Starts a multi-step operation: its state, and its first step after
  // intervalMs on Timer_Programm.
  void StartOperation(uint8_t state, int intervalMs);
  // Forgets a parked click (starting the search or the cyclic poll).
  void DiscardParkedClick();

  bool TransactionOutstanding() const { return Timer_Rx.isActive(); }

  // First thing of every tick of Timer_Programm: stops the timer, and says
  // whether the step may send. A step never crosses a reply still awaited
  // (the poll and the search start without the gate): it then waits, and
  // the end of that transaction starts the timer again.
  bool BeginStep();

  // The end of a transaction (Timer_Rx fired).
  void Timer_RxTimer();

  PortOperations& Port() { return port_; }
  TrafficLog& Log() { return log_; }

 signals:
  // After every transaction end (for tests and the benchmark).
  void transactionEnded();

 private:
  bool Send(const FrameBuffer& request, uint8_t length, uint8_t expectedLength, int timeoutMs, uint8_t kind);
  int ReadTimeout() const;
  // UI-thread half of the receive step.
  void ReceiveStep(const QByteArray& bytes, quint64 openPeriod);
  void LogReply();
  void DispatchReply();
  void Timer_WaitTimer();

  PortOperations& port_;
  TrafficLog& log_;
  std::function<void()> parkedClick_;
};

}  // namespace telvar
