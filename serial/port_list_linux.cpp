// The platform's list of serial ports on Linux: the tty class in sysfs,
// with the 8250 check on the UART type the serial core gives there. No
// device node is opened: an open raises DTR and RTS on an idle port, and
// fails with EBUSY on a port held open (TIOCEXCL) by another user's program
// or by this one.
#include <dirent.h>

#include <QFile>
#include <QFileInfo>

#include "serial/tty_class_list.h"

namespace telvar {

PlatformPortList ReadPlatformPortList() {
  return ReadPlatformPortList(QStringLiteral("/sys/class/tty"), QStringLiteral("/dev"));
}

namespace {
constexpr qint64 kMaxTypeTextBytes = 16;
constexpr int kPortUnknown = 0;  // PORT_UNKNOWN of the serial core
}  // namespace

PlatformPortList ReadPlatformPortList(const QString& sysClassTty, const QString& devDir) {
  // The entry of a listed port has the same name as its node under devDir.
  return ReadPlatformPortList(sysClassTty, devDir, [sysClassTty](const QString& devicePath) {
    return UartTypeKnown(sysClassTty + u'/' + QFileInfo(devicePath).fileName());
  });
}

bool ReadTtyClassEntries(const QString& sysClassTty, QList<TtyClassEntry>* entries) {
  entries->clear();
  DIR* dir = opendir(QFile::encodeName(sysClassTty).constData());
  if (!dir) return false;
  while (const dirent* d = readdir(dir)) {
    const QString name = QFile::decodeName(d->d_name);
    if (name == QLatin1String(".") || name == QLatin1String("..")) continue;
    const QString entryDir = sysClassTty + u'/' + name;
    TtyClassEntry entry;
    entry.name = name;
    entry.hasDevice = QFileInfo::exists(entryDir + QLatin1String("/device"));
    if (entry.hasDevice) {
      const QString driver = QFileInfo(entryDir + QLatin1String("/device/driver")).symLinkTarget();
      entry.driver = QFileInfo(driver).fileName();
    }
    entries->append(entry);
  }
  closedir(dir);
  return true;
}

bool UartTypeKnown(const QString& classEntryDir) {
  QFile typeFile(classEntryDir + QLatin1String("/type"));
  if (!typeFile.open(QIODevice::ReadOnly)) return false;
  bool number = false;
  const int type = typeFile.read(kMaxTypeTextBytes).trimmed().toInt(&number);
  return number && type != kPortUnknown;
}

bool HasKnownUartType(const QString& devicePath) {
  return UartTypeKnown(QStringLiteral("/sys/class/tty/") + QFileInfo(devicePath).fileName());
}

}  // namespace telvar
