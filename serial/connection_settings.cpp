#include "serial/connection_settings.h"

#include <algorithm>
#include <exception>
#include <utility>

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>

#include "link/bus_link.h"
#include "link/frame.h"
#include "serial/com_port.h"
#include "widgets/bounded_spin_edit.h"
#include "widgets/layout_helpers.h"
#include "widgets/message_boxes.h"
#include "widgets/status_bar_panel.h"

namespace telvar {

namespace {

constexpr int kStartAddress = kMaxAddress;
constexpr int kStartBaudIndex = 3;
constexpr int kAddressRegister = 1;
constexpr int kBaudRegister = 2;
constexpr int kEchoedValueLow = 5;  // low byte of the value a function-6 reply echoes
constexpr int kPanel0Width = 50;
constexpr int kPanel1Width = 100;

const QByteArray kCom1 = QByteArrayLiteral("COM1");

const char* const kBaudTexts[kBaudCount] = {"1200", "2400", "4800", "9600", "14400", "19200", "38400", "57600"};
constexpr TBaudRate kBaudRates[kBaudCount] = {TBaudRate::br1200,  TBaudRate::br2400,  TBaudRate::br4800,
                                              TBaudRate::br9600,  TBaudRate::br14400, TBaudRate::br19200,
                                              TBaudRate::br38400, TBaudRate::br57600};

// The name an entry opens; its caption is only shown.
QByteArray NameOf(const QAction* entry) { return entry->data().toByteArray(); }

bool ValidBaudIndex(int index) { return index >= 0 && index < kBaudCount; }
bool ValidAddress(int address) { return address >= kMinAddress && address <= kMaxAddress; }

QString BaudPanelText(int baudIndex) { return QStringLiteral("BaudRate = ") + BaudRateText(baudIndex); }

QSpinBox* AddressSpinEdit(const char* name, QWidget* parent) {
  auto* spin = new BoundedSpinEdit(parent);
  spin->setObjectName(QString::fromLatin1(name));
  spin->setRange(kMinAddress, kMaxAddress);
  spin->setValue(kStartAddress);
  return spin;
}

QLabel* NamedLabel(const char* name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

}  // namespace

QString BaudRateText(int baudIndex) {
  return QString::fromLatin1(kBaudTexts[ValidBaudIndex(baudIndex) ? baudIndex : kStartBaudIndex]);
}

TBaudRate BaudRateOfIndex(int baudIndex) { return kBaudRates[ValidBaudIndex(baudIndex) ? baudIndex : kStartBaudIndex]; }

QString AddressFieldPanelText(int address, int baudIndex) {
  return AddressReplyPanelText(address, baudIndex) + QLatin1Char(';');
}

QString AddressReplyPanelText(int address, int baudIndex) {
  return QStringLiteral("DEVICE : A = ") + ZeroPadded(uint16_t(address), 3) + QStringLiteral("; Baud = ") +
         BaudRateText(baudIndex);
}

QString BaudReplyPanelText(int address, int baudIndex) {
  return QStringLiteral("DEVICE : А = ") + QString::number(address) + QStringLiteral("; Baud = ") +
         BaudRateText(baudIndex);
}

QString AddressLabelText(int address) { return QStringLiteral("АДРЕС ПРИБОРА - ") + ZeroPadded(uint16_t(address), 3); }

ConnectionSettings::ConnectionSettings(BusLink& link, TComPort& port, QWidget* window)
    : QObject(window), link_(link), port_(port), window_(window) {
  TeGroupBox2 = new QGroupBox(QStringLiteral("  ПАРАМЕТРЫ ИНТЕРФЕЙСА  "), window);
  TeGroupBox2->setObjectName(QStringLiteral("TeGroupBox2"));
  TeLabel4 = NamedLabel("TeLabel4", QStringLiteral("СКОРОСТЬ ПЕРЕДАЧИ"), TeGroupBox2);
  TeSComboBox1 = new QComboBox(TeGroupBox2);
  TeSComboBox1->setObjectName(QStringLiteral("TeSComboBox1"));
  for (int i = 0; i < kBaudCount; ++i) TeSComboBox1->addItem(BaudRateText(i));
  TeSComboBox1->setCurrentIndex(kStartBaudIndex);
  TeLabel5 = NamedLabel("TeLabel5", AddressLabelText(kStartAddress), TeGroupBox2);
  TeSpinEdit1 = AddressSpinEdit("TeSpinEdit1", TeGroupBox2);
  TeButton1 = new QPushButton(QStringLiteral("-->"), TeGroupBox2);
  TeButton1->setObjectName(QStringLiteral("TeButton1"));
  TeLabel6 = NamedLabel("TeLabel6", QStringLiteral("to"), TeGroupBox2);
  TeSpinEdit2 = AddressSpinEdit("TeSpinEdit2", TeGroupBox2);

  auto* grid = new QGridLayout(TeGroupBox2);
  grid->addWidget(TeLabel4, 0, 0);
  grid->addWidget(TeSComboBox1, 1, 0);
  grid->addWidget(TeLabel5, 0, 1, 1, 4);
  grid->addWidget(TeSpinEdit1, 1, 1);
  grid->addWidget(TeButton1, 1, 2);
  grid->addWidget(TeLabel6, 1, 3);
  grid->addWidget(TeSpinEdit2, 1, 4);
  // Dense rows; the two captions side by side stay apart.
  grid->setContentsMargins(kGroupMargins);
  grid->setVerticalSpacing(3);
  grid->setHorizontalSpacing(12);

  StatusBar1 = new QStatusBar(window);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setSizeGripEnabled(false);
  // The device panel is the only place that shows the device's address and
  // rate: it always has room for its widest texts, and runs on beyond the
  // window's edge with whatever is left. A Linux port is a path, often wider
  // than its panel: the port panel takes what room the others leave it
  // (FitPortPanel) and elides the rest.
  auto* portPanel = new StatusBarPanel(kPanel0Width, true, StatusBar1);
  auto* baudPanel = new StatusBarPanel(kPanel1Width, false, StatusBar1);
  auto* devicePanel = new StatusBarPanel(0, false, StatusBar1);
  QStringList deviceTexts;
  for (int i = 0; i < kBaudCount; ++i) {
    deviceTexts << AddressFieldPanelText(kMaxAddress, i) << BaudReplyPanelText(kMaxAddress, i);
  }
  devicePanel->Reserve(deviceTexts);
  devicePanel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  portPanel_ = portPanel;
  StatusPanel = {portPanel, baudPanel, devicePanel};
  const char* const panelNames[3] = {"StatusPanel0", "StatusPanel1", "StatusPanel2"};
  for (int i = 0; i < 3; ++i) {
    StatusPanel[i]->setObjectName(QString::fromLatin1(panelNames[i]));
    StatusBar1->addWidget(StatusPanel[i], i == 2 ? 1 : 0);
  }
  StatusBar1->installEventFilter(this);
  StatusPanel[0]->setAlignment(Qt::AlignCenter);
  StatusPanel[1]->setAlignment(Qt::AlignCenter);
  if (auto* main = qobject_cast<QMainWindow*>(window)) main->setStatusBar(StatusBar1);

  connect(TeSpinEdit1, &QSpinBox::valueChanged, this, [this] { TeSpinEdit1Change(); });
  TeSpinEdit1->installEventFilter(this);
  connect(TeButton1, &QPushButton::clicked, this, [this] { RunGuarded([this] { TeButton1Click(); }); });
  connect(TeSComboBox1, &QComboBox::activated, this,
          [this](int index) { RunGuarded([this, index] { TeSComboBox1Change(index); }); });
  connect(&link_, &BusLink::transactionEnded, this, [this] {
    ApplyPendingPort();
    ApplyPendingBaud();
  });
}

void ConnectionSettings::BuildMenu(QMenuBar* menuBar) {
  menuBar_ = menuBar;
  CustomItem1 = menuBar->addMenu(QStringLiteral("Connection"));
  CustomItem1->setObjectName(QStringLiteral("CustomItem1"));
  PORT1 = CustomItem1->addMenu(QStringLiteral("Port"));
  PORT1->setObjectName(QStringLiteral("PORT1"));
  CustomItem3 = CustomItem1->addMenu(QStringLiteral("BaudRate"));
  CustomItem3->setObjectName(QStringLiteral("CustomItem3"));
  for (int i = 0; i < kBaudCount; ++i) {
    BR[i] = CustomItem3->addAction(BaudRateText(i));
    BR[i]->setObjectName(QStringLiteral("BR_") + BaudRateText(i));
    BR[i]->setCheckable(true);
    connect(BR[i], &QAction::triggered, this, [this, i] { BR_Click(i); });
  }
  menuBar->installEventFilter(this);
}

bool ConnectionSettings::eventFilter(QObject* watched, QEvent* event) {
  if (watched == StatusBar1 && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest)) {
    FitPortPanel();
  }
  if (watched == menuBar_ && menuBar_ && event->type() == QEvent::MouseButtonPress) {
    TeMenuBar1MouseDown();
  } else if (watched == TeSpinEdit1 && event->type() == QEvent::KeyPress) {
    TeSpinEdit1KeyPress(static_cast<QKeyEvent*>(event)->key());
  }
  return QObject::eventFilter(watched, event);
}

void ConnectionSettings::FormCreate() {
  link_.deviceAddress = kStartAddress;
  link_.baudIndex = kStartBaudIndex;
  TeLabel5->setText(AddressLabelText(kStartAddress));
  {
    const QSignalBlocker blockSpin(TeSpinEdit1);
    TeSpinEdit1->setValue(kStartAddress);
  }
  TeSpinEdit2->setValue(kStartAddress);

  TickBaudEntry(kStartBaudIndex);
  StatusPanel[1]->setText(BaudPanelText(kStartBaudIndex));
  StatusPanel[2]->setText(AddressReplyPanelText(kStartAddress, kStartBaudIndex));
  AssignBaudRate(kStartBaudIndex);

  ClearPortEntries();
  const PlatformPortList list = platformPortList();
  if (!list.opened) {
    ShowMessage(QMessageBox::Critical, QStringLiteral("Нет данных в реестре о доступных COM - портах..."));
    return;
  }
  for (const QString& path : list.ports) AddPortEntry(QFile::encodeName(path));
  if (portEntries_.isEmpty()) return;
  const int com1 = PortEntryNames().indexOf(kCom1);
  SelectPortEntry(com1 >= 0 ? com1 : 0);
}

void ConnectionSettings::TeMenuBar1MouseDown() {
  // A change still waiting for its transaction's end is the port asked for.
  const QByteArray current = pendingPort_.value_or(CurrentPort());
  const PlatformPortList list = platformPortList();
  ClearPortEntries();
  if (list.opened && !list.ports.isEmpty()) {
    for (const QString& path : list.ports) AddPortEntry(QFile::encodeName(path));
    const QList<QByteArray> names = PortEntryNames();
    int chosen = names.indexOf(current);
    if (chosen < 0) chosen = names.indexOf(kCom1);
    ChangePort(names[chosen >= 0 ? chosen : 0], false);
    return;
  }
  // The fallback file lists ports in its own order and prefers no COM1.
  // The port is assigned once, to the line chosen: an open port assigned
  // the first line on the way would be reopened twice.
  const ComportsFile file = ReadComportsFile(comportsPath, kMaxComportsLines);
  for (const QByteArray& line : file.lines) AddPortEntry(line);
  if (portEntries_.isEmpty()) return;
  const QList<QByteArray> names = PortEntryNames();
  const int remembered = names.indexOf(current);
  ChangePort(names[remembered >= 0 ? remembered : 0], false);
}

void ConnectionSettings::My(QAction* entry) {
  if (!portEntries_.contains(entry)) return;
  // The port in use picked again is closed, so that the next transaction
  // opens the device afresh. An adapter that was unplugged and plugged in
  // again is otherwise still held as the device that went away.
  ChangePort(NameOf(entry), NameOf(entry) == CurrentPort());
}

void ConnectionSettings::ChangePort(const QByteArray& name, bool reopen) {
  if (pendingPort_ == name) reopen = reopen || pendingReopen_;
  pendingPort_.reset();
  pendingReopen_ = false;
  if ((reopen || name != CurrentPort()) && link_.TransactionOutstanding()) {
    // The reply awaited comes through the port in use (during a search the
    // step's reply, which ends the search when it is the device's): the
    // port stays as it is until that transaction has ended.
    pendingPort_ = name;
    pendingReopen_ = reopen;
    TickPortEntry(CurrentPort());
    return;
  }
  if (reopen) {
    try {
      port_.ClosePort();
    } catch (const std::exception&) {
      // As a failed assignment: the port is left to the next transaction.
    }
  }
  if (const int index = PortEntryNames().indexOf(name); index >= 0) SelectPortEntry(index);
}

void ConnectionSettings::ApplyPendingPort() {
  if (!pendingPort_) return;
  const QByteArray name = *std::exchange(pendingPort_, std::nullopt);
  ChangePort(name, std::exchange(pendingReopen_, false));
}

void ConnectionSettings::TickPortEntry(const QByteArray& name) {
  const int index = PortEntryNames().indexOf(name);
  for (int i = 0; i < portEntries_.size(); ++i) portEntries_[i]->setChecked(i == index);
}

void ConnectionSettings::BR_Click(int baudIndex) {
  pendingBaud_.reset();
  if (link_.TransactionOutstanding()) {
    // The reply awaited comes at the rate it was asked at: a rate changed
    // under it would garble it. The tick and the panel keep showing the
    // rate in use until the change is made.
    pendingBaud_ = baudIndex;
    TickBaudEntry(baudInUse_);
    return;
  }
  TickBaudEntry(baudIndex);
  StatusPanel[1]->setText(BaudPanelText(baudIndex));
  AssignBaudRate(baudIndex);
}

void ConnectionSettings::ApplyPendingBaud() {
  if (pendingBaud_) BR_Click(*std::exchange(pendingBaud_, std::nullopt));
}

void ConnectionSettings::TeSpinEdit1Change() {
  if (link_.sequencingState == kStateSearch) {
    // The device address is the search's counter: a value that reaches the
    // field while it runs is taken back and moves nothing.
    const QSignalBlocker blockSpin(TeSpinEdit1);
    TeSpinEdit1->setValue(addressBeforeSearch_);
    return;
  }
  const int address = TeSpinEdit1->value();
  link_.deviceAddress = uint8_t(address);
  StatusPanel[2]->setText(AddressFieldPanelText(address, link_.baudIndex));
  TeLabel5->setText(AddressLabelText(address));
}

void ConnectionSettings::TeSpinEdit1KeyPress(int key) {
  if (key == Qt::Key_Return || key == Qt::Key_Enter) TeSpinEdit1Change();
}

void ConnectionSettings::SetAddressField(int address) {
  {
    const QSignalBlocker blockSpin(TeSpinEdit1);
    TeSpinEdit1->setValue(qBound(kMinAddress, address, kMaxAddress));
  }
  TeSpinEdit1Change();
}

void ConnectionSettings::TeButton1Click() {
  if (link_.CommandHeld([this] { TeButton1Click(); })) return;
  link_.echoGuard = 1;
  link_.deviceAddress = uint8_t(TeSpinEdit1->value());
  link_.SendWriteSingleRegister(kAddressRegister, uint16_t(TeSpinEdit2->value()), kReplyAddressWrite);
}

void ConnectionSettings::TeSComboBox1Change(int index) {
  if (link_.sequencingState == kStateSearch) {
    // Nothing is written during a search: the pick is taken back.
    TeSComboBox1->setCurrentIndex(comboIndex_);
    return;
  }
  if (index == comboIndex_) return;
  comboIndex_ = index;
  WriteDeviceBaud();
}

void ConnectionSettings::WriteDeviceBaud() {
  if (link_.CommandHeld([this] { WriteDeviceBaud(); })) return;
  link_.echoGuard = 1;
  link_.SendWriteSingleRegister(kBaudRegister, uint16_t(TeSComboBox1->currentIndex() + 1), kReplyBaudWrite);
}

// A reply too short to hold the echo (its CRC may still be right) would
// leave the request's own bytes to be taken as the device's answer.
bool ConnectionSettings::WholeEcho() const { return link_.receivedCount >= kWriteReplyLength; }

void ConnectionSettings::AddressReplyHandler() {
  if (!WholeEcho()) return;
  const int address = link_.frame[kEchoedValueLow];
  if (!ValidAddress(address)) return;
  SetAddressField(address);
  StatusPanel[2]->setText(AddressReplyPanelText(address, link_.baudIndex));
}

void ConnectionSettings::BaudReplyHandler() {
  if (!WholeEcho()) return;
  const int index = int(link_.frame[kEchoedValueLow]) - 1;
  link_.baudIndex = uint8_t(ValidBaudIndex(index) ? index : kStartBaudIndex);
  StatusPanel[2]->setText(BaudReplyPanelText(link_.deviceAddress, link_.baudIndex));
  const auto answer = ShowMessage(QMessageBox::Warning, QStringLiteral("Сменить скорость обмена COM-порта ПК?"),
                                  QMessageBox::Yes | QMessageBox::No);
  if (answer == QMessageBox::Yes) BR_Click(link_.baudIndex);
}

void ConnectionSettings::ShowSearchSituation(bool searching) {
  if (searching) addressBeforeSearch_ = TeSpinEdit1->value();
  for (QWidget* control : {static_cast<QWidget*>(TeSComboBox1), static_cast<QWidget*>(TeSpinEdit1),
                           static_cast<QWidget*>(TeSpinEdit2), static_cast<QWidget*>(TeButton1)})
    control->setEnabled(!searching);
  if (searching) return;
  // The rate the device was last known to have: a write that did not take
  // leaves nothing on show, and picking that rate again writes it.
  comboIndex_ = ValidBaudIndex(link_.baudIndex) ? link_.baudIndex : kStartBaudIndex;
  TeSComboBox1->setCurrentIndex(comboIndex_);
}

void ConnectionSettings::ShowPortName(const QString& name) {
  StatusPanel[0]->setText(name);
  ShowPortTooltip();
  FitPortPanel();
}

void ConnectionSettings::FitPortPanel() {
  int width = portPanel_->WholeTextWidth();
  if (StatusBar1->isVisible()) {
    // The least room the bar needs for its spacing and the other panels, and
    // the baud panel's text beyond its least width.
    const int others = StatusBar1->minimumSizeHint().width() - portPanel_->minimumWidth() +
                       std::max(0, StatusPanel[1]->sizeHint().width() - StatusPanel[1]->minimumWidth());
    width = std::min(width, StatusBar1->width() - others);
  }
  width = std::max(width, kPanel0Width);
  if (width == portPanel_->width() && width == portPanel_->minimumWidth()) return;
  portPanel_->setFixedWidth(width);
  // At once: the baud panel is not to show squeezed until the next pass.
  if (StatusBar1->isVisible() && StatusBar1->layout()) StatusBar1->layout()->activate();
}

void ConnectionSettings::ShowOpenResult(const QString& portName, const QString& failureReason) {
  failedPort_ = failureReason.isEmpty() ? QString() : portName;
  openFailure_ = failureReason;
  ShowPortTooltip();
}

void ConnectionSettings::ShowPortTooltip() {
  // The whole path, which the panel may show elided, and why the port could
  // not be opened while that is still the port in use.
  QStringList lines;
  if (!StatusPanel[0]->text().isEmpty()) lines << StatusPanel[0]->text();
  if (!openFailure_.isEmpty() && failedPort_ == QString::fromStdString(port_.Port())) lines << openFailure_;
  StatusPanel[0]->setToolTip(lines.join(QLatin1Char('\n')));
}

QStringList ConnectionSettings::PortEntries() const {
  QStringList captions;
  for (const QAction* entry : portEntries_) captions << PortCaption(NameOf(entry));
  return captions;
}

QList<QByteArray> ConnectionSettings::PortEntryNames() const {
  QList<QByteArray> names;
  for (const QAction* entry : portEntries_) names << NameOf(entry);
  return names;
}

int ConnectionSettings::TickedPortEntry() const {
  for (int i = 0; i < portEntries_.size(); ++i) {
    if (portEntries_[i]->isChecked()) return i;
  }
  return -1;
}

void ConnectionSettings::ClearPortEntries() {
  for (QAction* entry : portEntries_) {
    if (PORT1) PORT1->removeAction(entry);
    entry->deleteLater();
  }
  portEntries_.clear();
}

QAction* ConnectionSettings::AddPortEntry(const QByteArray& name) {
  if (portEntries_.size() >= kMaxPortEntries) return nullptr;
  // A menu takes '&' as the mark of a shortcut key; a port name shows it.
  auto* entry = new QAction(PortCaption(name).replace(QLatin1Char('&'), QStringLiteral("&&")), this);
  entry->setData(name);
  entry->setCheckable(true);
  connect(entry, &QAction::triggered, this, [this, entry] { My(entry); });
  if (PORT1) PORT1->addAction(entry);
  portEntries_.append(entry);
  return entry;
}

void ConnectionSettings::SelectPortEntry(int index) {
  QAction* chosen = portEntries_[index];
  for (QAction* entry : portEntries_) entry->setChecked(entry == chosen);
  AssignPort(NameOf(chosen));
  ShowPortName(PortCaption(NameOf(chosen)));
}

QByteArray ConnectionSettings::CurrentPort() const { return QByteArray::fromStdString(port_.Port()); }

void ConnectionSettings::AssignPort(const QByteArray& name) {
  try {
    port_.SetPort(name.toStdString());
  } catch (const std::exception&) {
    // The port stays closed; the next request tries to open it again and
    // reports a failure in the traffic log.
  }
}

void ConnectionSettings::AssignBaudRate(int baudIndex) {
  RunGuarded([this, baudIndex] { port_.SetBaudRate(BaudRateOfIndex(baudIndex)); });
}

void ConnectionSettings::TickBaudEntry(int baudIndex) {
  baudInUse_ = baudIndex;
  for (int i = 0; i < kBaudCount; ++i) {
    if (BR[i]) BR[i]->setChecked(i == baudIndex);
  }
}

}  // namespace telvar
