#include "search/bus_search.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>

#include "link/bus_link.h"
#include "link/frame.h"
#include "link/port_operations.h"
#include "link/traffic_log.h"
#include "serial/connection_settings.h"
#include "widgets/message_boxes.h"

namespace telvar {

namespace {
constexpr uint16_t kModelRegister = 0;
}  // namespace

uint16_t SearchDelayOfIndex(int index) { return uint16_t(100 + 50 * qBound(0, index, kDelayCount - 1)); }

BusSearch::BusSearch(BusLink& link, ConnectionSettings& connection, IdentificationTable table, QObject* parent)
    : QObject(parent), link_(link), connection_(connection), table_(std::move(table)) {}

void BusSearch::BuildSearchMenu(QMenuBar* menuBar) {
  CustomItem4 = menuBar->addMenu(QStringLiteral("Search"));
  CustomItem4->setObjectName(QStringLiteral("CustomItem4"));
  CustomItem5 = CustomItem4->addAction(QStringLiteral("Start"));
  CustomItem5->setObjectName(QStringLiteral("CustomItem5"));
  connect(CustomItem5, &QAction::triggered, this, [this] { RunGuarded([this] { CustomItem5Click(); }); });
  CustomItem6 = CustomItem4->addMenu(QStringLiteral("Delay"));
  CustomItem6->setObjectName(QStringLiteral("CustomItem6"));
  for (int i = 0; i < kDelayCount; ++i) {
    DelayItem[i] = CustomItem6->addAction(QString::number(SearchDelayOfIndex(i)) + QStringLiteral("ms"));
    DelayItem[i]->setObjectName(QStringLiteral("CustomItem") + QString::number(7 + i));
    DelayItem[i]->setCheckable(true);
    DelayItem[i]->setChecked(i == kDefaultDelayIndex);
    connect(DelayItem[i], &QAction::triggered, this, [this, i] { DelayClick(i); });
  }
}

void BusSearch::ShowProgressIn(QProgressBar* progress) { progress_ = progress; }

bool BusSearch::Running() const { return link_.sequencingState == kStateSearch; }

void BusSearch::CustomItem5Click() {
  if (Running()) {
    Stop();
  } else {
    Start();
  }
}

void BusSearch::DelayClick(int index) {
  for (int i = 0; i < kDelayCount; ++i) {
    if (DelayItem[i]) DelayItem[i]->setChecked(i == index);
  }
  link_.searchDelay = SearchDelayOfIndex(index);
}

void BusSearch::Start() {
  link_.deviceAddress = 0;
  if (progress_) {
    progress_->reset();
    progress_->show();
  }
  if (CustomItem5) CustomItem5->setText(QStringLiteral("Stop"));
  connection_.ShowSearchSituation(true);
  // The search replaces a running poll: the window sees the new state when
  // it resets the status button.
  link_.StartOperation(kStateSearch, kSearchStepIntervalMs);
  emit started();
  link_.DiscardParkedClick();
}

void BusSearch::Stop() {
  Finish(link_.deviceAddress);
  // A request in flight closes the port at the end of its transaction, now
  // that the search is over; without one nothing else would close it.
  if (!link_.TransactionOutstanding()) ClosePort();
}

void BusSearch::Step() {
  if (!Running()) return;
  if (link_.deviceAddress > kMaxAddress) {
    // The step for 248 brought a reply that was no find (an exception reply
    // or one the decoder did not take): no address beyond it is asked. The
    // port stayed open for the search.
    EndWithoutFind();
    ClosePort();
    return;
  }
  ++link_.deviceAddress;
  if (progress_) progress_->setValue(link_.deviceAddress);
  // A request that cannot be sent (the adapter gone) is followed by no
  // transaction end: the search is over, and the port it held open is let go
  // so that the next transaction opens the device afresh.
  if (!link_.SendReadHoldingRegisters(kModelRegister, 1, kReplyIdentification)) Stop();
}

uint8_t BusSearch::IdentificationDecoder() {
  const FrameBuffer& frame = link_.frame;
  const bool lengthOk = link_.receivedCount == frame[2] + kReplyOverhead;
  if (!lengthOk) link_.Log().AddLine(kLineBadLength);
  const int address = frame[0];
  // Not taken: the search goes on (after the step for 248, Step() ends it).
  if (!lengthOk || address < kMinAddress || address > kMaxAddress) return kReplyRejected;
  link_.Log().AddLine(table_(ReplyRegister(frame, 0)) + ZeroPadded(uint16_t(address), 3));
  Finish(address);
  return kReplyIdentification;
}

void BusSearch::EndWithoutFind() {
  if (!Running()) return;
  link_.Log().AddLine(kLineNotFound);
  Finish(kMaxAddress);
}

void BusSearch::ClosePort() {
  RunGuarded([this] { link_.Port().ClosePort(); });
}

void BusSearch::Finish(int address) {
  link_.sequencingState = kStateIdle;
  if (progress_) progress_->hide();
  if (CustomItem5) CustomItem5->setText(QStringLiteral("Start"));
  connection_.ShowSearchSituation(false);
  connection_.SetAddressField(address);
  emit finished();
}

}  // namespace telvar
