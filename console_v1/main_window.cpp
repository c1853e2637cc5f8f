#include "console_v1/main_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGroupBox>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "console_v1/commands.h"
#include "console_v1/status_decoder.h"
#include "polling/status_polling.h"
#include "search/bus_search.h"
#include "search/identification.h"
#include "serial/connection_settings.h"
#include "widgets/message_boxes.h"
#include "widgets/output_pair.h"
#include "widgets/status_grid.h"
#include "widgets/wheel_guard.h"
#include "widgets/window_frame.h"

namespace telvar::v1 {

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      binding_(comPort1_, this),
      controls_(BuildWindowControls(this)),
      log_(controls_.TeMemo1),
      link_(binding_, log_, this),
      connection_(link_, comPort1_, this),
      search_(link_, connection_, IdentificationLineV1, this),
      polling_(link_, kStatusRegisterCount, controls_.TeButton5, controls_.TeCheckBox1, {}, this) {
  connect(&binding_, &ComPortBinding::openResult, &connection_, &ConnectionSettings::ShowOpenResult);
  connection_.BuildMenu(controls_.TeMenuBar1);
  search_.BuildSearchMenu(controls_.TeMenuBar1);
  search_.ShowProgressIn(controls_.TeProgressBar1);
  LayOutWindow(this, controls_, connection_.TeGroupBox2);
  InstallLinkHooks();
  ConnectHandlers();
  GuardWheel(this, controls_.content);
  SetKeyboardWalk(controls_, connection_);
  FormCreate();
}

void TForm1::InstallLinkHooks() {
  link_.hooks.statusDecoder = [this] { return StatusDecoder(); };
  link_.hooks.identificationDecoder = [this] { return search_.IdentificationDecoder(); };
  link_.hooks.searchEndedWithoutFind = [this] { search_.EndWithoutFind(); };
  link_.hooks.addressReplyHandler = [this] { connection_.AddressReplyHandler(); };
  link_.hooks.baudReplyHandler = [this] { connection_.BaudReplyHandler(); };
  link_.hooks.readTimeoutMs = [this] { return ReadTimeoutMs(link_.baudIndex); };
  link_.hooks.showError = [](const QString& message) { ShowMessage(QMessageBox::Critical, message); };
}

void TForm1::ConnectHandlers() {
  connect(&link_.Timer_Programm, &QTimer::timeout, this, [this] { RunGuarded([this] { Timer_ProgrammTimer(); }); });
  connect(&search_, &BusSearch::started, this, [this] {
    polling_.ApplySituation();
    ShowSearchSituation(true);
  });
  connect(&search_, &BusSearch::finished, this, [this] { SearchFinished(); });

  const auto onClick = [this](QAbstractButton* button, void (TForm1::*handler)()) {
    connect(button, &QAbstractButton::clicked, this,
            [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); });
  };
  onClick(controls_.TeButton5, &TForm1::TeButton5Click);
  onClick(controls_.TeButton2, &TForm1::TeButton2Click);
  onClick(controls_.TeButton3, &TForm1::TeButton3Click);
  // A radio button's handler runs also when the program selects it.
  const auto onSelect = [this](QAbstractButton* button, void (TForm1::*handler)()) {
    connect(button, &QAbstractButton::toggled, this, [this, handler](bool on) {
      if (on) RunGuarded([this, handler] { (this->*handler)(); });
    });
  };
  onSelect(controls_.B0_Button, &TForm1::B0_ButtonClick);
  onSelect(controls_.B1_Button, &TForm1::B1_ButtonClick);
  onSelect(controls_.C0_Button, &TForm1::C0_ButtonClick);
  onSelect(controls_.C1_Button, &TForm1::C1_ButtonClick);
}

void TForm1::FormCreate() {
  FitWindowToScreen(this, controls_.content);
  if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
  link_.receivedCount = 0;
  const auto labels = StartupLabels();
  controls_.StatusGrid->SetLabels(QStringList(labels.begin(), labels.end()));
  connection_.FormCreate();
}

void TForm1::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TForm1::FormActivate() { controls_.TeMenuBar1->setFocus(Qt::ActiveWindowFocusReason); }

void TForm1::SearchFinished() {
  polling_.ApplySituation();
  ShowSearchSituation(false);
  FormActivate();
}

void TForm1::ShowSearchSituation(bool searching) {
  // The groups whose handlers do nothing during a search cannot be changed
  // while it runs: none of them is to show a value or a choice that was
  // never written. "В ЦИКЛЕ" keeps its own flag, which the poll sets.
  for (QWidget* group : {controls_.TeGroupBox3, controls_.TeGroupBox6, controls_.TeGroupBox4})
    group->setEnabled(!searching);
}

void TForm1::TeButton5Click() { polling_.TeButton5Click(); }

void TForm1::Timer_ProgrammTimer() {
  if (!link_.BeginStep()) return;
  switch (link_.sequencingState) {
    case kStateSearch: search_.Step(); break;
    case kStateCyclicPoll: polling_.PollStep(); break;
    default: break;
  }
}

uint8_t TForm1::StatusDecoder() {
  const StatusDecode decoded = DecodeStatusBlock(link_.frame, link_.receivedCount);
  if (!decoded.block) {
    log_.AddLine(decoded.rejection);
    return kReplyRejected;
  }
  ShowStatusBlock(*decoded.block);
  return kReplyStatus;
}

void TForm1::ShowStatusBlock(const StatusBlock& block) {
  for (int row = 0; row < kStatusRows; ++row) {
    controls_.StatusGrid->SetCell(0, row, block.labels[row]);
    controls_.StatusGrid->SetCell(1, row, block.values[row]);
  }
  // The echo guard of the status request keeps these from being written back.
  CheckOutputPair(controls_.loop1Group, block.loop1);
  CheckOutputPair(controls_.loop2Group, block.loop2);
}

void TForm1::TeButton2Click() {
  if (link_.CommandHeld([this] { TeButton2Click(); })) return;
  SendLinearResistance(link_, controls_.A1_Button->isChecked(), controls_.TeSpinEdit3->value());
}

void TForm1::TeButton3Click() {
  if (link_.CommandHeld([this] { TeButton3Click(); })) return;
  SendAlarmReset(link_);
}

void TForm1::B0_ButtonClick() { OutputLogicClick(&TForm1::B0_ButtonClick, false, true); }
void TForm1::B1_ButtonClick() { OutputLogicClick(&TForm1::B1_ButtonClick, false, false); }
void TForm1::C0_ButtonClick() { OutputLogicClick(&TForm1::C0_ButtonClick, true, true); }
void TForm1::C1_ButtonClick() { OutputLogicClick(&TForm1::C1_ButtonClick, true, false); }

void TForm1::OutputLogicClick(void (TForm1::*handler)(), bool secondLoop, bool closed) {
  if (link_.CommandHeld([this, handler] { (this->*handler)(); }, true)) return;
  const bool otherClosed = (secondLoop ? controls_.B0_Button : controls_.C0_Button)->isChecked();
  SendOutputLogic(link_, OutputLogicValue(secondLoop ? OutputLoop::Loop2 : OutputLoop::Loop1, closed, otherClosed));
}

}  // namespace telvar::v1
