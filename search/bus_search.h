// The bus search: asks addresses 1, 2, 3, ... for register 0 until a device
// answers, names its model from the program's identification table and takes
// its address as the device address. Runs as sequencing state 254.
//
// Wiring: the window routes link.hooks.identificationDecoder to
// IdentificationDecoder and link.hooks.searchEndedWithoutFind to
// EndWithoutFind, builds the Search menu with BuildSearchMenu(),
// hands over its progress bar with ShowProgressIn(), reacts to started() and
// finished(), and calls Step() from Timer_ProgrammTimer while the sequencing
// state is 254.
#pragma once

#include <array>
#include <cstdint>

#include <QObject>

#include "search/identification.h"

class QAction;
class QMenu;
class QMenuBar;
class QProgressBar;

namespace telvar {

class BusLink;
class ConnectionSettings;

constexpr int kSearchStepIntervalMs = 5;
constexpr int kDelayCount = 6;
constexpr int kDefaultDelayIndex = 1;  // 150 ms

// 100, 150, .. 350 ms for delay index 0..5.
uint16_t SearchDelayOfIndex(int index);

class BusSearch : public QObject {
  Q_OBJECT
 public:
  BusSearch(BusLink& link, ConnectionSettings& connection, IdentificationTable table, QObject* parent = nullptr);

  // Adds "Search" (CustomItem4) with "Start" (CustomItem5) and "Delay"
  // (CustomItem6: CustomItem7..CustomItem12, 100ms..350ms, 150ms ticked).
  void BuildSearchMenu(QMenuBar* menuBar);

  // progress: TeProgressBar1 (range 1..247, hidden), shown while searching.
  void ShowProgressIn(QProgressBar* progress);

  bool Running() const;

  QMenu* CustomItem4 = nullptr;
  QAction* CustomItem5 = nullptr;
  QMenu* CustomItem6 = nullptr;
  std::array<QAction*, kDelayCount> DelayItem{};  // CustomItem7 .. CustomItem12

 signals:
  // The search has taken over the cycle (a running poll is over): the
  // window's status button shows "ЗАПРОС ПАРАМЕТРОВ" again, and the
  // window's controls that the search ignores are disabled (the connection
  // group's are, by the connection settings).
  void started();
  // The search is over, with or without a find; the address field shows
  // the address it ended at and the device's baud list its rate again.
  void finished();

 public slots:
  // Start, or Stop while a search runs.
  void CustomItem5Click();
  void DelayClick(int index);
  // One step: the next address, sent with the search delay as time-out.
  void Step();
  // Function-3 reply with pending kind 254; returns the new pending kind.
  uint8_t IdentificationDecoder();
  // The step for address 248 brought nothing usable.
  void EndWithoutFind();

 private:
  void Start();
  // Ends the search and closes the port it kept open from step to step.
  void Stop();
  void ClosePort();
  // Common end: state 0, progress hidden, "Start", address field, focus.
  void Finish(int address);

  BusLink& link_;
  ConnectionSettings& connection_;
  IdentificationTable table_;
  QProgressBar* progress_ = nullptr;
};

}  // namespace telvar
