#include "polling/status_polling.h"

#include <QAbstractButton>

#include "link/bus_link.h"

namespace telvar {

namespace {
constexpr uint16_t kFirstStatusRegister = 0;
}  // namespace

StatusPolling::StatusPolling(BusLink& link, uint16_t registerCount, QAbstractButton* button, QAbstractButton* cyclicBox,
                             std::function<void(bool)> pollControls, QObject* parent)
    : QObject(parent),
      link_(link),
      registerCount_(registerCount),
      button_(button),
      cyclicBox_(cyclicBox),
      pollControls_(std::move(pollControls)) {}

bool StatusPolling::Polling() const { return link_.sequencingState == kStateCyclicPoll; }

void StatusPolling::TeButton5Click() {
  if (link_.sequencingState == kStateSearch) return;
  if (Polling()) {
    StopPoll();
  } else if (cyclicBox_->isChecked()) {
    StartPoll();
  } else {
    SingleRequest();
  }
}

void StatusPolling::SingleRequest() {
  if (link_.CommandHeld([this] { SingleRequest(); })) return;
  SendStatusRequest();
}

void StatusPolling::StartPoll() {
  // The poll does not wait for a transaction in flight; a click parked
  // before it would otherwise fire into the poll's first request.
  link_.DiscardParkedClick();
  link_.StartOperation(kStateCyclicPoll, kStepIntervalMs);
  ApplySituation();
}

void StatusPolling::StopPoll() {
  // A reply under way is still decoded; no request follows it.
  link_.sequencingState = kStateIdle;
  link_.Timer_Programm.stop();
  link_.Timer_Programm.setInterval(kStepIntervalMs);
  ApplySituation();
}

void StatusPolling::PollStep() {
  link_.Timer_Programm.setInterval(kPollIntervalMs);
  SendStatusRequest();
}

bool StatusPolling::SendStatusRequest() {
  link_.echoGuard = 1;
  return link_.SendReadHoldingRegisters(kFirstStatusRegister, registerCount_, kReplyStatus);
}

void StatusPolling::SetButtonIdle() {
  captionPlain_ = true;
  button_->setText(kStatusButtonPlainCaption);
}

void StatusPolling::ApplySituation() {
  const bool polling = Polling();
  if (polling || link_.sequencingState == kStateSearch) captionPlain_ = true;
  button_->setText(polling ? kStatusButtonStopCaption
                           : (captionPlain_ ? kStatusButtonPlainCaption : kStatusButtonCaption));
  cyclicBox_->setEnabled(!polling);
  if (pollControls_) pollControls_(polling);
}

}  // namespace telvar
