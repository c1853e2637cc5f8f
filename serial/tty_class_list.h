// The platform's list of serial ports on Linux: the entries of the tty class
// in sysfs that have a device behind them, with the check that leaves out
// 8250-type ports without a UART. The choice among the entries is pure
// (tty_class_list.cpp); the system's calls live in port_list_linux.cpp.
#pragma once

#include <functional>

#include <QList>
#include <QString>
#include <QStringList>

#include "serial/port_list.h"

namespace telvar {

// One entry of the tty class directory, as found there.
struct TtyClassEntry {
  QString name;            // "ttyUSB0"
  bool hasDevice = false;  // a device link behind it (virtual terminals have none)
  QString driver;          // the device's driver ("ftdi_sio", "serial8250"); "" when none
};

// Tells whether the 8250-type port at a /dev path has a UART behind it.
using UartProbe = std::function<bool(const QString& devicePath)>;

// Reads the tty entries under sysClassTty that have a device behind them
// (USB, ACM, platform UARTs), leaving out 8250-type ports whose type, read
// from the entry's "type" file, is unknown. devDir is where the device
// nodes lie; none of them is opened. ReadPlatformPortList() is this list of
// /sys/class/tty and /dev.
PlatformPortList ReadPlatformPortList(const QString& sysClassTty, const QString& devDir);

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

// The 8250 check: the UART type that the serial core gives in the class
// entry's "type" file is known (not 0, PORT_UNKNOWN). False when the file
// cannot be read or holds no number. Reading it leaves the port alone: its
// modem lines do not move, and a port held open by a program is checked as
// any other.
bool UartTypeKnown(const QString& classEntryDir);

// The same check for the port of a /dev path, by its entry in
// /sys/class/tty.
bool HasKnownUartType(const QString& devicePath);

}  // namespace telvar
