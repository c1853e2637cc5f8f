#include "tests/support/pty_pair.h"

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace telvar::test {

PtyPair::PtyPair() {
  char name[256] = {};
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
    master_ = slave_ = -1;
    return;
  }
  path_ = name;
}

PtyPair::~PtyPair() {
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
}

void PtyPair::send(const QByteArray& bytes) const {
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += n;
  }
}

QByteArray PtyPair::receive(int count, int timeoutMs) const {
  QByteArray got;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (got.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, int(left.count())) <= 0) break;
    char buffer[4096];
    const ssize_t n = ::read(master_, buffer, std::min<size_t>(sizeof buffer, size_t(count - got.size())));
    if (n <= 0) break;
    got.append(buffer, n);
  }
  return got;
}

void PtyPair::closeMaster() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

}  // namespace telvar::test
