// The connection settings both windows share: the PC's port and baud rate
// (Connection menu), the device address and the device's own address and
// baud rate (group "ПАРАМЕТРЫ ИНТЕРФЕЙСА"), the replies to the two writes,
// and the three status-bar panels.
//
// The object creates its controls as children of the window; the window
// places TeGroupBox2 and calls BuildMenu() on its menu bar. When the window
// is a QMainWindow the status bar is installed as its status bar, otherwise
// the window lays out StatusBar1 itself. The window routes the link's
// addressReplyHandler and baudReplyHandler hooks to the two reply handlers.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include <QObject>
#include <QString>
#include <QStringList>

#include "link/frame.h"
#include "serial/port_list.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QSpinBox;
class QStatusBar;
class QWidget;

namespace telvar {

class BusLink;
class StatusBarPanel;
class TComPort;
enum class TBaudRate;

constexpr int kBaudCount = 8;
// The Port menu holds as many entries as the platform's list may.
constexpr int kMaxPortEntries = kMaxPlatformPorts;

// "1200" .. "57600" for baud index 0..7; "9600" for any other index.
QString BaudRateText(int baudIndex);
// The port component's rate for baud index 0..7 (br9600 for any other).
TBaudRate BaudRateOfIndex(int baudIndex);

// Panel-2 texts: after the address field changed ("DEVICE : A = 005; Baud = 9600;"),
// after an address reply ("DEVICE : A = 005; Baud = 9600") and after a baud
// reply, with the Cyrillic А and the plain address ("DEVICE : А = 5; Baud = 19200").
QString AddressFieldPanelText(int address, int baudIndex);
QString AddressReplyPanelText(int address, int baudIndex);
QString BaudReplyPanelText(int address, int baudIndex);
// "АДРЕС ПРИБОРА - 005".
QString AddressLabelText(int address);

class ConnectionSettings : public QObject {
  Q_OBJECT
 public:
  ConnectionSettings(BusLink& link, TComPort& port, QWidget* window);

  // Adds the "Connection" menu (CustomItem1: Port PORT1, BaudRate
  // CustomItem3 with BR_1200..BR_57600) and watches the bar's mouse presses.
  void BuildMenu(QMenuBar* menuBar);

  // Where the port names come from; tests replace them.
  std::function<PlatformPortList()> platformPortList = [] { return ReadPlatformPortList(); };
  QString comportsPath = QStringLiteral("comports.txt");

  // Sets the address spin edit to address (clamped to 1..247) and runs the
  // address-field handling even when the value does not change.
  void SetAddressField(int address);

  // The search takes the address field as its counter and ignores the
  // device's baud list, the new address and "-->": while it runs they cannot
  // be changed. When it ends the baud list shows the device's rate again
  // (the address field is set by the search's end).
  void ShowSearchSituation(bool searching);

  // Panel 0: the port's whole name, elided in the middle when the window
  // leaves it too little room, and as the panel's tooltip.
  void ShowPortName(const QString& name);

  // Captions of the Port entries, in menu order; the names they open, byte
  // for byte; the ticked one's index or -1.
  QStringList PortEntries() const;
  QList<QByteArray> PortEntryNames() const;
  int TickedPortEntry() const;

  // Controls (children of the window), named as their objectName.
  QGroupBox* TeGroupBox2;
  QLabel* TeLabel4;
  QComboBox* TeSComboBox1;
  QLabel* TeLabel5;
  QSpinBox* TeSpinEdit1;
  QPushButton* TeButton1;
  QLabel* TeLabel6;
  QSpinBox* TeSpinEdit2;
  QStatusBar* StatusBar1;
  std::array<QLabel*, 3> StatusPanel{};
  // Created by BuildMenu().
  QMenu* CustomItem1 = nullptr;
  QMenu* PORT1 = nullptr;
  QMenu* CustomItem3 = nullptr;
  std::array<QAction*, kBaudCount> BR{};  // BR_1200 .. BR_57600

 public slots:
  // Connection part of the window's start-up: address 247, baud index 3,
  // 9600 baud, port list from the platform.
  void FormCreate();
  // Rebuilds the Port entries (platform list, else "comports.txt").
  void TeMenuBar1MouseDown();
  void My(QAction* entry);
  // Makes the rate the port's; while a reply is awaited the change waits
  // for the end of that transaction, as a port change does.
  void BR_Click(int baudIndex);
  void TeSpinEdit1Change();
  void TeSpinEdit1KeyPress(int key);
  void TeButton1Click();
  // The user picked an item; runs the write only when it is another item.
  void TeSComboBox1Change(int index);
  // Function-6 replies of the address and baud writes (link.hooks).
  void AddressReplyHandler();
  void BaudReplyHandler();
  // The outcome of opening the port for a transaction (ComPortBinding's
  // openResult): a failure's reason joins the port panel's tooltip; the next
  // opening that succeeds clears it.
  void ShowOpenResult(const QString& portName, const QString& failureReason);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void WriteDeviceBaud();
  bool WholeEcho() const;
  // Makes name the port in use; reopen closes it first even when it is the
  // port in use already. While a reply is awaited on the port in use the
  // change waits for the end of that transaction.
  void ChangePort(const QByteArray& name, bool reopen);
  void ApplyPendingPort();
  void ApplyPendingBaud();
  void TickPortEntry(const QByteArray& name);
  void ClearPortEntries();
  QAction* AddPortEntry(const QByteArray& name);
  void SelectPortEntry(int index);
  void AssignPort(const QByteArray& name);
  QByteArray CurrentPort() const;
  void AssignBaudRate(int baudIndex);
  void TickBaudEntry(int baudIndex);
  void ShowPortTooltip();
  void FitPortPanel();

  BusLink& link_;
  TComPort& port_;
  QWidget* window_;
  QMenuBar* menuBar_ = nullptr;
  QList<QAction*> portEntries_;
  int comboIndex_ = 3;
  int addressBeforeSearch_ = 247;
  std::optional<QByteArray> pendingPort_;  // the port change that waits for a transaction's end
  std::optional<int> pendingBaud_;         // the rate picked while a reply was awaited
  int baudInUse_ = 0;                      // the ticked BaudRate entry, the port's rate
  bool pendingReopen_ = false;
  StatusBarPanel* portPanel_ = nullptr;  // StatusPanel[0]
  QString failedPort_;                   // the port the last opening failed on, if it failed
  QString openFailure_;                  // and why
};

}  // namespace telvar
