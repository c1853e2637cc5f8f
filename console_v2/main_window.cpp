#include "console_v2/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>

#include "link/bus_link.h"
#include "link/traffic_log.h"
#include "polling/status_polling.h"
#include "search/bus_search.h"
#include "search/identification.h"
#include "serial/com_port.h"
#include "serial/com_port_binding.h"
#include "serial/connection_settings.h"
#include "widgets/message_boxes.h"
#include "widgets/status_grid.h"
#include "widgets/wheel_guard.h"
#include "widgets/window_frame.h"

namespace telvar::v2 {

namespace {

// The window's name, caption and font come first: the controls are sized
// in that font.
WindowControls BuildFramedLayout(QMainWindow* window) {
  window->setObjectName(QStringLiteral("TForm1"));
  window->setWindowTitle(kWindowCaption);
  window->setFont(WindowFont());
  return BuildWindowControls(window);
}

}  // namespace

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      binding_(comPort_, this),
      controls_(BuildFramedLayout(this)),
      log_(controls_.TeMemo1),
      // The window owns the cycle's timers: they are found among its children.
      link_(binding_, log_, this),
      connection_(link_, comPort_, this),
      search_(link_, connection_, IdentificationLineV2, this),
      polling_(
          link_, kStatusRegisterCount, controls_.TeButton5, controls_.A0_CBox,
          [this](bool polling) { v2::ApplySituation(SituationTargets(), polling, search_.Running()); }, this) {
  connect(&binding_, &ComPortBinding::openResult, &connection_, &ConnectionSettings::ShowOpenResult);
  PlaceConnectionGroup(controls_, connection_.TeGroupBox2);
  connection_.BuildMenu(controls_.TeMenuBar1);
  search_.BuildSearchMenu(controls_.TeMenuBar1);
  search_.ShowProgressIn(controls_.TeProgressBar1);
  statusTargets_ = controls_.StatusTargets();
  statusTargets_.selectModelItem = [this](int item) { SelectModelItem(item); };
  InstallLinkHooks();
  ConnectHandlers();
  GuardWheel(this, controls_.scrollArea);
  SetKeyboardWalk(controls_, connection_);
  FormCreate();
}

void TForm1::InstallLinkHooks() {
  link_.hooks.statusDecoder = [this] { return DecodeStatusReply(link_, statusTargets_); };
  link_.hooks.identificationDecoder = [this] { return search_.IdentificationDecoder(); };
  link_.hooks.searchEndedWithoutFind = [this] { search_.EndWithoutFind(); };
  link_.hooks.addressReplyHandler = [this] { connection_.AddressReplyHandler(); };
  link_.hooks.baudReplyHandler = [this] { connection_.BaudReplyHandler(); };
  link_.hooks.showError = [](const QString& message) { ShowMessage(QMessageBox::Critical, message); };
}

void TForm1::ConnectHandlers() {
  const auto on = [this](QAbstractButton* button, void (TForm1::*handler)()) {
    connect(button, &QAbstractButton::clicked, this,
            [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); });
  };
  // Radio buttons act when they become selected, by the user or the
  // program; check boxes on every change.
  const auto onSelected = [this](QAbstractButton* button, void (TForm1::*handler)()) {
    connect(button, &QAbstractButton::toggled, this, [this, handler](bool checked) {
      if (checked) RunGuarded([this, handler] { (this->*handler)(); });
    });
  };
  const auto onToggled = [this](QAbstractButton* button, void (TForm1::*handler)()) {
    connect(button, &QAbstractButton::toggled, this,
            [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); });
  };
  on(controls_.TeButton5, &TForm1::TeButton5Click);
  on(controls_.TeButton3, &TForm1::TeButton3Click);
  on(controls_.TeButton4, &TForm1::TeButton4Click);
  on(controls_.TeButton9, &TForm1::TeButton9Click);
  on(controls_.TeButton10, &TForm1::TeButton10Click);
  on(controls_.TeButton6, &TForm1::TeButton6Click);
  on(controls_.TeButton7, &TForm1::TeButton7Click);
  on(controls_.TeButton8, &TForm1::TeButton8Click);
  onSelected(controls_.closedButton[0], &TForm1::B0_ButtonClick);
  onSelected(controls_.openButton[0], &TForm1::B1_ButtonClick);
  onSelected(controls_.closedButton[1], &TForm1::C0_ButtonClick);
  onSelected(controls_.openButton[1], &TForm1::C1_ButtonClick);
  onSelected(controls_.closedButton[2], &TForm1::D0_ButtonClick);
  onSelected(controls_.openButton[2], &TForm1::D1_ButtonClick);
  onToggled(controls_.B0_CBox, &TForm1::B0_CBoxClick);
  onToggled(controls_.B1_CBox, &TForm1::B1_CBoxClick);
  onToggled(controls_.B2_CBox, &TForm1::B2_CBoxClick);
  connect(controls_.TeSComboBox2, &QComboBox::activated, this,
          [this](int index) { RunGuarded([this, index] { TeSComboBox2Change(index); }); });
  connect(&link_.Timer_Programm, &QTimer::timeout, this, [this] { RunGuarded([this] { Timer_ProgrammTimer(); }); });
  // The search and the end of a transaction change the sequencing state
  // behind the window's back; the search's own handler runs first.
  connect(search_.CustomItem5, &QAction::triggered, this, [this] { ApplySituation(); });
  connect(&search_, &BusSearch::started, this, [this] {
    polling_.SetButtonIdle();
    ApplySituation();
  });
  connect(&search_, &BusSearch::finished, this, [this] {
    ApplySituation();
    controls_.TeMenuBar1->setFocus();
  });
  connect(&link_, &BusLink::transactionEnded, this, [this] { ApplySituation(); });
}

void TForm1::ApplySituation() { polling_.ApplySituation(); }

SituationControls TForm1::SituationTargets() const {
  SituationControls targets = controls_.SituationTargets();
  targets.TeGroupBox3 = controls_.TeGroupBox3;
  targets.TeGroupBox4 = controls_.TeGroupBox4;
  targets.TeGroupBox6 = controls_.TeGroupBox6;
  return targets;
}

void TForm1::FormCreate() {
  link_.receivedCount = 0;
  controls_.StatusGrid->SetLabels(StartupLabels());
  PlaceModelComboBox(controls_);
  // The model list stays over its cell when the user resizes the grid.
  for (QHeaderView* header : {controls_.StatusGrid->horizontalHeader(), controls_.StatusGrid->verticalHeader()})
    connect(header, &QHeaderView::sectionResized, this, [this] { PlaceModelComboBox(controls_); });
  connection_.FormCreate();
  // The scroll area asks for little room of its own: the window takes the
  // size of what it holds, once the status bar has its texts (an empty
  // panel is lower), then fits the screen.
  SizeWindowToContent(this, controls_.scrollArea);
  FitWindowToScreen(this, controls_.scrollArea);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void TForm1::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TForm1::FormActivate() { controls_.TeMenuBar1->setFocus(); }

void TForm1::Timer_ProgrammTimer() {
  if (!link_.BeginStep()) return;
  switch (link_.sequencingState) {
    case kStateIdle: break;
    case kStateSearch: search_.Step(); break;
    case kStateCyclicPoll: polling_.PollStep(); break;
    default: SequenceStep(link_); break;
  }
}

void TForm1::TeButton5Click() { polling_.TeButton5Click(); }

void TForm1::TeButton3Click() {
  if (link_.CommandHeld([this] { TeButton3Click(); })) return;
  SendAlarmReset(link_);
}

void TForm1::TeButton4Click() {
  if (link_.CommandHeld([this] { TeButton4Click(); })) return;
  SendSoundReset(link_, controls_.A1_CBox->isChecked());
}

void TForm1::OutputLogicClick(int loop, bool openRow, void (TForm1::*handler)()) {
  if (link_.CommandHeld([this, handler] { (this->*handler)(); }, true)) return;
  QRadioButton* button = openRow ? controls_.openButton[loop] : controls_.closedButton[loop];
  SendOutputLogic(link_, loop, OutputLogicValue(openRow, button->isChecked()));
}

void TForm1::B0_ButtonClick() { OutputLogicClick(0, false, &TForm1::B0_ButtonClick); }
void TForm1::B1_ButtonClick() { OutputLogicClick(0, true, &TForm1::B1_ButtonClick); }
void TForm1::C0_ButtonClick() { OutputLogicClick(1, false, &TForm1::C0_ButtonClick); }
void TForm1::C1_ButtonClick() { OutputLogicClick(1, true, &TForm1::C1_ButtonClick); }
void TForm1::D0_ButtonClick() { OutputLogicClick(2, false, &TForm1::D0_ButtonClick); }
void TForm1::D1_ButtonClick() { OutputLogicClick(2, true, &TForm1::D1_ButtonClick); }

void TForm1::ModeFlagClick(QCheckBox* box, ModeFlag flag, void (TForm1::*handler)()) {
  if (link_.CommandHeld([this, handler] { (this->*handler)(); }, true)) return;
  SendModeFlag(link_, flag, box->isChecked());
}

void TForm1::B0_CBoxClick() { ModeFlagClick(controls_.B0_CBox, ModeFlag::ThermalCompensation, &TForm1::B0_CBoxClick); }
void TForm1::B1_CBoxClick() { ModeFlagClick(controls_.B1_CBox, ModeFlag::FixedCableLength, &TForm1::B1_CBoxClick); }
void TForm1::B2_CBoxClick() { ModeFlagClick(controls_.B2_CBox, ModeFlag::OrsanPanel, &TForm1::B2_CBoxClick); }

int TForm1::ChosenLoop() const {
  const int loop = controls_.loopChoice->checkedId();
  return loop < 0 ? kLoopCount - 1 : loop;
}

void TForm1::TeButton9Click() {
  if (link_.CommandHeld([this] { TeButton9Click(); })) return;
  const int loop = ChosenLoop();
  SendCableLength(link_, loop, uint16_t(controls_.cableLength[loop]->value()));
}

void TForm1::TeButton10Click() {
  if (link_.CommandHeld([this] { TeButton10Click(); })) return;
  const int loop = ChosenLoop();
  SendLinearResistance(link_, loop, controls_.resistance[loop]->value());
}

void TForm1::CalibrationClick(int loop, void (TForm1::*handler)()) {
  if (link_.CommandHeld([this, handler] { (this->*handler)(); })) return;
  StartCalibration(link_, loop);
}

void TForm1::TeButton6Click() { CalibrationClick(0, &TForm1::TeButton6Click); }
void TForm1::TeButton7Click() { CalibrationClick(1, &TForm1::TeButton7Click); }
void TForm1::TeButton8Click() { CalibrationClick(2, &TForm1::TeButton8Click); }

void TForm1::TeSComboBox2Change(int index) {
  if (index == modelItemShown_) return;
  if (link_.sequencingState == kStateSearch) {
    // No model change while the bus is searched: the pick is undone.
    controls_.TeSComboBox2->setCurrentIndex(modelItemShown_);
    return;
  }
  modelItemShown_ = index;
  ChangeModel(index);
}

void TForm1::ChangeModel(int item) {
  if (link_.CommandHeld([this, item] { ChangeModel(item); })) return;
  StartModelChange(link_, item);
}

void TForm1::SelectModelItem(int item) {
  controls_.TeSComboBox2->setCurrentIndex(item);
  modelItemShown_ = item;
}

}  // namespace telvar::v2
