// The Port menu built from "comports.txt": any bytes as the file, read by
// the rebuild that every press on the menu bar runs when the platform's
// list is open but empty; then a click on one entry and a second rebuild.
//
// Input: [choice] file...
//   choice bit 7: there is no file; bit 6: a directory stands in its place;
//   the rest picks the entry that is clicked.
//
// The file lies in a private temporary folder. The port is never opened:
// building the menu only names it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>

#include "link/bus_link.h"
#include "link/traffic_log.h"
#include "serial/com_port.h"
#include "serial/connection_settings.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/no_port.h"
#include "tests/fuzz/offscreen_app.h"
#include "tests/support/fake_port.h"

using namespace telvar;
using namespace telvar::fuzz;

namespace {

constexpr uint8_t kNoFileFlag = 0x80;
constexpr uint8_t kDirectoryFlag = 0x40;
constexpr uint8_t kEntryMask = 0x3F;

// Removed when the fuzzer ends with exit() (the rig itself is never deleted).
QTemporaryDir& Folder() {
  static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/telvar-fuzz-XXXXXX"));
  return folder;
}

struct Rig {
  QString path = Folder().filePath(QStringLiteral("comports.txt"));
  QMainWindow window;
  testing::FakePort linkPort;
  TrafficLog log;
  BusLink link{linkPort, log};
  TComPort port;
  ConnectionSettings* settings = new ConnectionSettings(link, port, &window);

  Rig() {
    FUZZ_CHECK(Folder().isValid());
    settings->BuildMenu(window.menuBar());
    settings->platformPortList = [] { return PlatformPortList{true, {}}; };
    settings->comportsPath = path;
  }
};

Rig& TheRig() {
  static Rig* rig = new Rig;  // lives for the whole run
  return *rig;
}

// The file's lines as bytes, without their LF or CR LF; the first 10.
QList<QByteArray> FileLines(const QByteArray& bytes) {
  QList<QByteArray> lines;
  qsizetype start = 0;
  while (start < bytes.size() && lines.size() < kMaxComportsLines) {
    const qsizetype end = bytes.indexOf('\n', start);
    QByteArray line = bytes.mid(start, end < 0 ? -1 : end - start);
    if (end < 0) {
      lines << line;
      break;
    }
    if (line.endsWith('\r')) line.chop(1);
    lines << line;
    start = end + 1;
  }
  return lines;
}

// Text that reads the same in every 8-bit code page (no NUL either).
bool IsPlainAscii(const QByteArray& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c > 0; });
}

// The ticked entry's name is the port, and panel 0 shows its caption.
void CheckTicked(const Rig& rig, const QList<QByteArray>& names, int expected) {
  // Two lines of the same name stand for one port: either entry may carry the tick.
  const int ticked = rig.settings->TickedPortEntry();
  FUZZ_CHECK(ticked >= 0 && ticked < names.size() && names[ticked] == names[expected]);
  FUZZ_CHECK(rig.port.Port() == names[expected].toStdString());
  FUZZ_CHECK(rig.settings->StatusPanel[0]->text() == rig.settings->PortEntries()[expected]);
  int ticks = 0;
  for (const QAction* entry : rig.settings->PORT1->actions()) ticks += entry->isChecked() ? 1 : 0;
  FUZZ_CHECK(ticks == 1);
}

// The menu holds the file's lines, bytes unchanged, and no entry of an
// earlier rebuild; a plain ASCII line is its own caption.
void CheckMenu(const Rig& rig, const QList<QByteArray>& lines) {
  FUZZ_CHECK(rig.settings->PortEntryNames() == lines);
  const QStringList captions = rig.settings->PortEntries();
  const QList<QAction*> actions = rig.settings->PORT1->actions();
  FUZZ_CHECK(captions.size() == lines.size() && actions.size() == lines.size());
  for (int i = 0; i < actions.size(); ++i) {
    // The menu shows the caption whole: an '&' is doubled, not a shortcut mark.
    FUZZ_CHECK(QString(captions[i]).replace(QLatin1Char('&'), QStringLiteral("&&")) == actions[i]->text());
    if (IsPlainAscii(lines[i])) FUZZ_CHECK(captions[i] == QString::fromLatin1(lines[i]));
  }
}

void WriteFile(const Rig& rig, uint8_t choice, const QByteArray& content) {
  QFile::remove(rig.path);
  QDir().rmdir(rig.path);
  if (choice & kNoFileFlag) return;
  if (choice & kDirectoryFlag) {
    FUZZ_CHECK(QDir().mkdir(rig.path));
    return;
  }
  QFile file(rig.path);
  FUZZ_CHECK(file.open(QIODevice::WriteOnly));
  FUZZ_CHECK(file.write(content) == content.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartOffscreenApplication();
  TheRig();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return -1;
  Rig& rig = TheRig();
  const uint8_t choice = data[0];
  const QByteArray content(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
  const bool hasFile = !(choice & (kNoFileFlag | kDirectoryFlag));
  WriteFile(rig, choice, content);
  rig.port.SetPort(kNoPort);

  rig.settings->TeMenuBar1MouseDown();
  // At most 10 lines: FileLines() stops there.
  const QList<QByteArray> lines = hasFile ? FileLines(content) : QList<QByteArray>{};
  CheckMenu(rig, lines);
  if (lines.isEmpty()) {
    // No entries: the port stays as it was.
    FUZZ_CHECK(rig.settings->TickedPortEntry() == -1);
    FUZZ_CHECK(rig.port.Port() == kNoPort);
  } else {
    const int unlisted = int(lines.indexOf(QByteArray::fromStdString(kNoPort)));
    CheckTicked(rig, lines, unlisted >= 0 ? unlisted : 0);

    // A click ticks its entry; the next rebuild keeps the same port.
    const int clicked = int((choice & kEntryMask) % lines.size());
    rig.settings->PORT1->actions()[clicked]->trigger();
    CheckTicked(rig, lines, clicked);
    rig.settings->TeMenuBar1MouseDown();
    CheckMenu(rig, lines);
    CheckTicked(rig, lines, int(lines.indexOf(lines[clicked])));
  }

  // Nothing was opened or sent.
  FUZZ_CHECK(!rig.port.Connected());
  FUZZ_CHECK(!rig.linkPort.open && rig.linkPort.written.empty());
  // What the event loop would do next: the entries discarded by the
  // rebuilds go.
  QCoreApplication::sendPostedEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return 0;
}
