// The regular-file reader on POSIX: a non-blocking open, and the opened
// descriptor's type checked with fstat.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <QFile>

#include "serial/regular_file.h"

namespace telvar {

namespace {

bool IsRegular(const struct stat& st) { return S_ISREG(st.st_mode); }

}  // namespace

RegularFileReader::RegularFileReader(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  // Nothing but a regular file is opened at all: opening a serial device
  // would raise its modem lines.
  struct stat st {};
  if (::stat(name.constData(), &st) != 0 || !IsRegular(st)) return;
  // Non-blocking: a FIFO put in the file's place meanwhile opens at once
  // instead of waiting for a writer, and is turned down below.
  const int fd = ::open(name.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  // The opened file is what counts; the path may have changed since.
  if (::fstat(fd, &st) != 0 || !IsRegular(st)) {
    ::close(fd);
    return;
  }
  handle_ = fd;
}

RegularFileReader::~RegularFileReader() {
  if (IsOpen()) ::close(int(handle_));
}

qsizetype RegularFileReader::Read(QByteArray& bytes, qsizetype max) {
  if (!IsOpen() || max <= 0) return 0;
  const qsizetype old = bytes.size();
  bytes.resize(old + max);
  ssize_t got = 0;
  do {
    got = ::read(int(handle_), bytes.data() + old, size_t(max));
  } while (got < 0 && errno == EINTR);
  bytes.resize(old + (got > 0 ? qsizetype(got) : 0));
  return got < 0 ? -1 : qsizetype(got);
}

}  // namespace telvar
