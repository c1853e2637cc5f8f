// The choice among the tty class entries: which of them are ports, in
// which order, and how many.
#include "serial/tty_class_list.h"

#include <algorithm>

namespace telvar {

bool Is8250Entry(const TtyClassEntry& entry) {
  return entry.driver == QLatin1String("serial8250") || entry.name.startsWith(QLatin1String("ttyS"));
}

QStringList SelectPorts(const QList<TtyClassEntry>& entries, const QString& devDir, const UartProbe& uartPresent) {
  QStringList ports;
  for (const TtyClassEntry& entry : entries) {
    if (!entry.hasDevice || entry.name.isEmpty()) continue;
    const QString path = devDir + u'/' + entry.name;
    // Every 8250 driver registers its full set of ports, present or not.
    if (Is8250Entry(entry) && !(uartPresent && uartPresent(path))) continue;
    ports << path;
  }
  std::sort(ports.begin(), ports.end(), NaturalLess);
  if (ports.size() > kMaxPlatformPorts) ports.resize(kMaxPlatformPorts);
  return ports;
}

PlatformPortList ReadPlatformPortList(const QString& sysClassTty, const QString& devDir, const UartProbe& uartPresent) {
  PlatformPortList list;
  QList<TtyClassEntry> entries;
  list.opened = ReadTtyClassEntries(sysClassTty, &entries);
  if (list.opened) list.ports = SelectPorts(entries, devDir, uartPresent);
  return list;
}

}  // namespace telvar
