// Where the port menu's names come from: the platform's list of serial
// ports (/sys/class/tty on Linux) and the fallback file "comports.txt".
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

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

// The most ports the platform list holds; the rest are left out.
constexpr int kMaxPlatformPorts = 32;

// One entry of the tty class directory, as found there.
struct TtyClassEntry {
  QString name;            // "ttyUSB0"
  bool hasDevice = false;  // a device link behind it (virtual terminals have none)
  QString driver;          // the device's driver ("ftdi_sio", "serial8250"); "" when none
};

// Tells whether the 8250-type port at a /dev path has a UART behind it.
using UartProbe = std::function<bool(const QString& devicePath)>;

// The same list with the 8250 check given by the caller.
PlatformPortList ReadPlatformPortList(const QString& sysClassTty, const QString& devDir, const UartProbe& uartPresent);

// The entries of the tty class directory; false when it cannot be read.
bool ReadTtyClassEntries(const QString& sysClassTty, QList<TtyClassEntry>* entries);

// Whether an entry is an 8250-type port (driver serial8250, or a ttyS name),
// which is listed only when its UART type is known.
bool Is8250Entry(const TtyClassEntry& entry);

// The /dev paths of the entries to list: those with a device, without the
// 8250-type ports that uartPresent turns down; natural order, at most
// kMaxPlatformPorts.
QStringList SelectPorts(const QList<TtyClassEntry>& entries, const QString& devDir, const UartProbe& uartPresent);

// The 8250 check of the platform: the port's type read with TIOCGSERIAL is
// known. False when the node cannot be opened or the type is unknown.
bool HasKnownUartType(const QString& devicePath);

// Lines of the fallback file, at most maxLines, each kept byte for byte as
// it stands (without its LF or CR LF): the name that is opened.
// Only a regular file is read, without waiting, and only its first
// kMaxComportsBytes: a line that has not ended within them names no port and
// gives no line, and nothing after it is read. opened is false when the
// file is no regular file or cannot be opened; lines read before a failure
// are kept.
constexpr qsizetype kMaxComportsBytes = 64 * 1024;
struct ComportsFile {
  bool opened = false;
  QList<QByteArray> lines;
};
ComportsFile ReadComportsFile(const QString& path = QStringLiteral("comports.txt"), int maxLines = 10);

// The text shown for a port name's bytes: decoded from the system's 8-bit
// code page (UTF-8 on Linux), a byte that is not valid there shown as the
// replacement character.
QString PortCaption(const QByteArray& name);

// Natural order: "ttyS2" before "ttyS10".
bool NaturalLess(const QString& a, const QString& b);

}  // namespace telvar
