// Watches a file for opens for reading or writing, through inotify. An
// O_PATH open, a stat or a read of another file leaves nothing.
#pragma once

#include <sys/inotify.h>
#include <unistd.h>

#include <cstdint>

#include <QFile>
#include <QString>

namespace telvar::test {

// Everything an open for reading or writing leaves in inotify, and the
// accesses that would follow it.
constexpr uint32_t kUseEvents = IN_OPEN | IN_ACCESS | IN_MODIFY | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE;

class OpenWatch {
 public:
  explicit OpenWatch(const QString& path) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ >= 0) watch_ = inotify_add_watch(fd_, QFile::encodeName(path).constData(), kUseEvents);
  }
  ~OpenWatch() {
    if (fd_ >= 0) ::close(fd_);
  }
  OpenWatch(const OpenWatch&) = delete;
  OpenWatch& operator=(const OpenWatch&) = delete;

  bool ok() const { return fd_ >= 0 && watch_ >= 0; }
  // The events seen so far, or-ed together; 0 when none.
  uint32_t Take() const {
    uint32_t seen = 0;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) return seen;
      for (ssize_t at = 0; at < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
        seen |= e->mask;
        at += ssize_t(sizeof *e + e->len);
      }
    }
  }

 private:
  int fd_;
  int watch_ = -1;
};

}  // namespace telvar::test
