// Where the port menu's names come from: the platform's list of serial
// ports (/sys/class/tty on Linux) and the fallback file "comports.txt".
#pragma once

#include <QString>
#include <QStringList>

namespace telvar {

// The platform's list of serial ports.
struct PlatformPortList {
  bool opened = false;  // false: the list cannot be read at all
  QStringList ports;    // /dev paths in natural order, at most 32
};

// Reads the tty entries under sysClassTty that have a device behind them
// (USB, ACM, platform UARTs), leaving out 8250-type ports whose type reads
// unknown. devDir is where the device nodes lie (for the 8250 check).
PlatformPortList ReadPlatformPortList(const QString& sysClassTty = QStringLiteral("/sys/class/tty"),
                                      const QString& devDir = QStringLiteral("/dev"));

// Lines of the fallback file, at most maxLines, each kept as it stands
// (without its LF or CR LF), decoded from the locale's 8-bit code page.
// opened is false when the file cannot be opened; lines read before a
// failure are kept.
struct ComportsFile {
  bool opened = false;
  QStringList lines;
};
ComportsFile ReadComportsFile(const QString& path = QStringLiteral("comports.txt"), int maxLines = 10);

// Natural order: "ttyS2" before "ttyS10".
bool NaturalLess(const QString& a, const QString& b);

}  // namespace telvar
