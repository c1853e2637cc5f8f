// TForm1, the window of telvar_105: a first-generation ТЕЛВАР device read
// once or every 500 ms, and its linear resistance, output logic and alarm
// reset written. The handlers keep their names and call into the link, the
// connection settings, the search, the status polling and this console's
// decoder and commands.
#pragma once

#include <QMainWindow>

#include "console_v1/window_layout.h"
#include "link/bus_link.h"
#include "link/traffic_log.h"
#include "polling/status_polling.h"
#include "search/bus_search.h"
#include "serial/com_port.h"
#include "serial/com_port_binding.h"
#include "serial/connection_settings.h"

namespace telvar::v1 {

struct StatusBlock;

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TForm1(QWidget* parent = nullptr);

  BusLink& Link() { return link_; }
  TComPort& ComPort1() { return comPort1_; }
  ConnectionSettings& Connection() { return connection_; }
  BusSearch& Search() { return search_; }
  const WindowControls& Controls() const { return controls_; }

  // Start-up: fits the window to the screen, writes the grid's labels and
  // runs the connection part (address 247, 9600 baud, port list).
  void FormCreate();

  // Status request: single request, start or stop of the cyclic poll.
  void TeButton5Click();
  void Timer_ProgrammTimer();
  // The status decoder of the link: shows an accepted block, logs the line
  // of a rejected one; returns the new pending reply kind.
  uint8_t StatusDecoder();

  void TeButton2Click();
  void TeButton3Click();
  void B0_ButtonClick();
  void B1_ButtonClick();
  void C0_ButtonClick();
  void C1_ButtonClick();

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void FormActivate();
  void InstallLinkHooks();
  void ConnectHandlers();
  void ShowStatusBlock(const StatusBlock& block);
  // Output logic click: its own loop's bit from the click, the other loop's
  // from that loop's "ЗАМКНУТО" button.
  void OutputLogicClick(void (TForm1::*handler)(), bool secondLoop, bool closed);
  void SearchFinished();
  // The resistance, output logic and status groups: disabled while the bus
  // search runs.
  void ShowSearchSituation(bool searching);

  // Each piece needs only those above it, and goes before them: the port's
  // event thread ends with the binding, after the link it reports to has
  // let go of it.
  TComPort comPort1_;
  ComPortBinding binding_;
  WindowControls controls_;
  TrafficLog log_;
  BusLink link_;
  ConnectionSettings connection_;
  BusSearch search_;
  StatusPolling polling_;
};

}  // namespace telvar::v1
