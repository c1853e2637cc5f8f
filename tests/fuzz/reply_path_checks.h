// What must hold after the end of a transaction, whatever the reply was:
// the cycle idle again and ready for its next step, nothing sent, the log
// made of the request, the reply and the known closing lines, the decoders'
// rejections leaving the window as it was, addresses within 1..247.
#pragma once

#include <cstdint>

#include <QStringList>

namespace telvar {
class BusLink;
class ConnectionSettings;
class StatusGrid;
class TComPort;
}  // namespace telvar

namespace telvar::fuzz {

// One program's pieces that the end reaches.
struct ProgramParts {
  BusLink* link = nullptr;
  ConnectionSettings* connection = nullptr;
  TComPort* port = nullptr;
  StatusGrid* grid = nullptr;
};

// The transaction as it stood when Timer_Rx fired.
struct Awaited {
  uint8_t kind = 0;
  uint8_t state = 0;
  uint8_t address = 0;
  uint8_t baudIndex = 0;
  bool parkedClick = false;
  QStringList requestLines;
  QStringList gridCells;
};

// Both columns of the grid, row by row.
QStringList GridCells(const StatusGrid& grid);

void CheckTransactionEnd(const ProgramParts& program, const Awaited& before, const uint8_t* reply, uint16_t count);

}  // namespace telvar::fuzz
