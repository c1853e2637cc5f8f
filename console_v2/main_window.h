// TForm1, the window of telvar_v210: a second-generation device read once
// or cyclically, its configuration changed, the bus searched. The handlers
// are named after their controls and events; each checks and calls into the
// link, the connection settings, the search, the status polling and this
// console's decoder, commands and layout.
#pragma once

#include <QMainWindow>

#include "console_v2/commands.h"
#include "console_v2/window_layout.h"
#include "link/bus_link.h"
#include "link/traffic_log.h"
#include "polling/status_polling.h"
#include "search/bus_search.h"
#include "serial/com_port.h"
#include "serial/com_port_binding.h"
#include "serial/connection_settings.h"

namespace telvar::v2 {

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TForm1(QWidget* parent = nullptr);

  BusLink& Link() { return link_; }
  ConnectionSettings& Connection() { return connection_; }
  BusSearch& Search() { return search_; }
  TComPort& ComPort1() { return comPort_; }
  TrafficLog& Log() { return log_; }
  const WindowControls& Controls() const { return controls_; }

 public slots:
  void FormCreate();
  void FormActivate();
  void Timer_ProgrammTimer();
  void TeButton5Click();
  void TeButton3Click();
  void TeButton4Click();
  void B0_ButtonClick();
  void B1_ButtonClick();
  void C0_ButtonClick();
  void C1_ButtonClick();
  void D0_ButtonClick();
  void D1_ButtonClick();
  void B0_CBoxClick();
  void B1_CBoxClick();
  void B2_CBoxClick();
  void TeButton9Click();
  void TeButton10Click();
  void TeButton6Click();
  void TeButton7Click();
  void TeButton8Click();
  // The user picked an item of the model combo box.
  void TeSComboBox2Change(int index);

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void InstallLinkHooks();
  void ConnectHandlers();
  void ApplySituation();
  // The controls the poll and the search change (situation.h).
  SituationControls SituationTargets() const;
  void OutputLogicClick(int loop, bool openRow, void (TForm1::*handler)());
  void ModeFlagClick(QCheckBox* box, ModeFlag flag, void (TForm1::*handler)());
  void CalibrationClick(int loop, void (TForm1::*handler)());
  void ChangeModel(int item);
  void SelectModelItem(int item);
  int ChosenLoop() const;

  // Each piece needs only those above it, and goes before them: the port's
  // event thread ends with the binding, after the link it reports to has
  // let go of it.
  TComPort comPort_;
  ComPortBinding binding_;
  WindowControls controls_;
  TrafficLog log_;
  BusLink link_;
  ConnectionSettings connection_;
  BusSearch search_;
  StatusPolling polling_;
  StatusControls statusTargets_;
  int modelItemShown_ = -1;  // the model item before the user's pick
};

}  // namespace telvar::v2
