// Reading a file that lies wherever the user put it: only a regular file is
// read, and opening it waits on nothing. A FIFO, a device node or a socket
// named like the file would otherwise hold the window up for good. The
// platform's calls live in a file of their own (posix_regular_file.cpp).
#pragma once

#include <cstdint>

#include <QByteArray>
#include <QString>

namespace telvar {

class RegularFileReader {
 public:
  // Opens path for reading; the reader stays closed when path is no regular
  // file or cannot be opened at once.
  explicit RegularFileReader(const QString& path);
  ~RegularFileReader();
  RegularFileReader(const RegularFileReader&) = delete;
  RegularFileReader& operator=(const RegularFileReader&) = delete;

  bool IsOpen() const { return handle_ != kClosed; }
  // Appends at most max bytes to bytes. Returns how many: 0 at the end of
  // the file (or when closed), -1 on a failure.
  qsizetype Read(QByteArray& bytes, qsizetype max);

 private:
  static constexpr std::intptr_t kClosed = -1;
  std::intptr_t handle_ = kClosed;
};

}  // namespace telvar
