// The parts of the port list that do not depend on the platform: the
// fallback file, natural order and the choice among the tty entries.
#include "serial/port_list.h"

#include <algorithm>

#include "serial/regular_file.h"

namespace telvar {

namespace {

// The fallback file is read in pieces of this size, so that its first ten
// lines are read and no more.
constexpr qsizetype kComportsReadChunk = 4096;

bool IsAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

QStringView WithoutLeadingZeros(QStringView digits) {
  qsizetype i = 0;
  while (i + 1 < digits.size() && digits[i] == u'0') ++i;
  return digits.mid(i);
}

}  // namespace

bool NaturalLess(const QString& a, const QString& b) {
  qsizetype i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsAsciiDigit(a[i]) && IsAsciiDigit(b[j])) {
      const qsizetype si = i, sj = j;
      while (i < a.size() && IsAsciiDigit(a[i])) ++i;
      while (j < b.size() && IsAsciiDigit(b[j])) ++j;
      const QStringView na = WithoutLeadingZeros(QStringView(a).mid(si, i - si));
      const QStringView nb = WithoutLeadingZeros(QStringView(b).mid(sj, j - sj));
      if (na.size() != nb.size()) return na.size() < nb.size();
      if (const int c = na.compare(nb); c != 0) return c < 0;
      continue;
    }
    if (a[i] != b[j]) return a[i] < b[j];
    ++i;
    ++j;
  }
  if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
  return a < b;  // alike but for leading zeros: plain order keeps it strict
}

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

PlatformPortList ReadPlatformPortList(const QString& sysClassTty, const QString& devDir) {
  return ReadPlatformPortList(sysClassTty, devDir, HasKnownUartType);
}

ComportsFile ReadComportsFile(const QString& path, int maxLines) {
  ComportsFile result;
  RegularFileReader file(path);
  if (!file.IsOpen()) return result;
  result.opened = true;
  QByteArray bytes;
  qsizetype lineStart = 0;
  bool atEnd = false;
  while (result.lines.size() < maxLines) {
    if (const qsizetype lf = bytes.indexOf('\n', lineStart); lf >= 0) {
      QByteArray line = bytes.mid(lineStart, lf - lineStart);
      if (line.endsWith('\r')) line.chop(1);
      result.lines << line;
      lineStart = lf + 1;
      continue;
    }
    if (atEnd) {
      if (lineStart < bytes.size()) result.lines << bytes.mid(lineStart);  // the last line, without its end
      break;
    }
    // A line cut by the bound is dropped: part of a name opens another port.
    if (bytes.size() >= kMaxComportsBytes) break;
    const qsizetype got = file.Read(bytes, std::min(kComportsReadChunk, kMaxComportsBytes - bytes.size()));
    if (got < 0) break;  // a read failure: keep the lines that came before
    atEnd = got == 0;
  }
  return result;
}

QString PortCaption(const QByteArray& name) { return QString::fromLocal8Bit(name); }

}  // namespace telvar
