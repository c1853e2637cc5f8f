#include "tests/support/pty_device.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>

namespace telvar::testing {

namespace {
// Reads one request: 8 bytes, or 9 + byte count for function 16.
QByteArray ReadRequest(int fd, int timeoutMs) {
  QByteArray request;
  int wanted = 8;
  const auto deadline = PtyDevice::Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (request.size() < wanted) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - PtyDevice::Clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, int(left.count())) <= 0) continue;
    char buffer[256];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) {
      usleep(1000);  // the other end is between two openings of the port
      continue;
    }
    request.append(buffer, int(n));
    if (request.size() >= 7 && uint8_t(request[1]) == 16) wanted = 9 + uint8_t(request[6]);
  }
  return request;
}
}  // namespace

PtyDevice::PtyDevice() {
  if (!pty_.ok()) throw std::runtime_error("openpty failed");
  termios raw{};
  tcgetattr(pty_.slave(), &raw);
  cfmakeraw(&raw);
  tcsetattr(pty_.slave(), TCSANOW, &raw);
}

PtyDevice::~PtyDevice() {
  if (thread_.joinable()) thread_.join();
}

void PtyDevice::Answer(std::vector<Piece> pieces) {
  if (thread_.joinable()) thread_.join();
  {
    std::lock_guard lock(mutex_);
    request_.clear();
    gotRequest_ = false;
  }
  thread_ = std::thread([this, pieces = std::move(pieces)]() mutable { Play(std::move(pieces)); });
}

void PtyDevice::Play(std::vector<Piece> pieces) {
  const QByteArray request = ReadRequest(pty_.master(), 3000);
  {
    std::lock_guard lock(mutex_);
    request_ = request;
    gotRequest_ = !request.isEmpty();
  }
  if (request.isEmpty()) return;
  const auto byteTime = std::chrono::microseconds(10'000'000 / baud_);
  for (const Piece& piece : pieces) {
    std::this_thread::sleep_for(std::chrono::milliseconds(piece.delayMs));
    auto next = Clock::now();
    for (char byte : piece.bytes) {
      std::this_thread::sleep_until(next);
      if (write(pty_.master(), &byte, 1) != 1) break;
      next += byteTime;
    }
    std::lock_guard lock(mutex_);
    lastByteAt_ = Clock::now();
  }
}

bool PtyDevice::Finish() {
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  return gotRequest_;
}

QByteArray PtyDevice::Request() const {
  std::lock_guard lock(mutex_);
  return request_;
}

PtyDevice::Clock::time_point PtyDevice::LastByteAt() const {
  std::lock_guard lock(mutex_);
  return lastByteAt_;
}

}  // namespace telvar::testing
