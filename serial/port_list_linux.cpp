// The platform's list of serial ports on Linux: the tty class in sysfs and
// the 8250 check on the device node.
#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "serial/tty_class_list.h"

namespace telvar {

PlatformPortList ReadPlatformPortList() {
  return ReadPlatformPortList(QStringLiteral("/sys/class/tty"), QStringLiteral("/dev"));
}

PlatformPortList ReadPlatformPortList(const QString& sysClassTty, const QString& devDir) {
  return ReadPlatformPortList(sysClassTty, devDir, HasKnownUartType);
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

bool HasKnownUartType(const QString& devicePath) {
  const int fd = ::open(QFile::encodeName(devicePath).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  serial_struct info{};
  const bool known = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
  ::close(fd);
  return known;
}

}  // namespace telvar
