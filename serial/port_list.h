// Where the port menu's names come from: the platform's list of serial
// ports (the registry on Windows, /sys/class/tty on Linux: one file per
// platform, port_list_win32.cpp and port_list_linux.cpp) and the fallback
// file "comports.txt".
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "serial/max_platform_ports.h"

namespace telvar {

// The platform's list of serial ports.
struct PlatformPortList {
  bool opened = false;  // false: the list cannot be read at all
  QStringList ports;    // names in natural order (/dev paths on Linux), at most kMaxPlatformPorts
};

// The platform's list as it stands now.
PlatformPortList ReadPlatformPortList();

// The most lines of the fallback file that name ports.
constexpr int kMaxComportsLines = 10;

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
ComportsFile ReadComportsFile(const QString& path = QStringLiteral("comports.txt"), int maxLines = kMaxComportsLines);

// The text shown for a port name's bytes: decoded from the system's 8-bit
// code page (UTF-8 on Linux), a byte that is not valid there shown as the
// replacement character.
QString PortCaption(const QByteArray& name);

// Natural order: "ttyS2" before "ttyS10".
bool NaturalLess(const QString& a, const QString& b);

}  // namespace telvar
