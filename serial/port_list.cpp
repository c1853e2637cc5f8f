// The parts of the port list that do not depend on the platform: the
// fallback file, natural order and the captions.
#include "serial/port_list.h"

#include <algorithm>
#include <string_view>

#include "serial/natural_order.h"
#include "serial/regular_file.h"

namespace telvar {

namespace {

// The fallback file is read in pieces of this size, so that its first ten
// lines are read and no more.
constexpr qsizetype kComportsReadChunk = 4096;

std::u16string_view Utf16(const QString& s) { return {QStringView(s).utf16(), std::size_t(s.size())}; }

}  // namespace

bool NaturalLess(const QString& a, const QString& b) { return NaturalLessOf(Utf16(a), Utf16(b)); }

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
