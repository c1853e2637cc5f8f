// A device played by a test at the far end of a real pseudo-terminal pair:
// it waits for one request and answers with bytes paced at the line rate,
// with the pauses the test asks for.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <QByteArray>
#include <QString>

#include "tests/support/pty_pair.h"

namespace telvar::testing {

class PtyDevice {
 public:
  using Clock = std::chrono::steady_clock;
  struct Piece {
    int delayMs;       // pause before the piece's first byte
    QByteArray bytes;  // sent byte by byte at the line rate
  };

  PtyDevice();
  ~PtyDevice();
  PtyDevice(const PtyDevice&) = delete;
  PtyDevice& operator=(const PtyDevice&) = delete;

  // The terminal the program opens.
  QString Path() const { return QString::fromStdString(pty_.path()); }
  // Pacing of the bytes: 10 bits a byte at this rate.
  void SetBaud(int baud) { baud_ = baud; }

  // On a thread of its own: waits for one request, then plays the pieces.
  void Answer(std::vector<Piece> pieces);
  // Waits until the answer has been played; false if no request came.
  bool Finish();

  QByteArray Request() const;
  // When the last byte of the answer was handed to the terminal.
  Clock::time_point LastByteAt() const;
  int MasterFd() const { return pty_.master(); }

 private:
  void Play(std::vector<Piece> pieces);
  test::PtyPair pty_;  // the slave kept open so the far end never sees a hang-up
  int baud_ = 9600;
  std::thread thread_;
  mutable std::mutex mutex_;
  QByteArray request_;
  bool gotRequest_ = false;
  Clock::time_point lastByteAt_{};
};

}  // namespace telvar::testing
