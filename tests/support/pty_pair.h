// A pseudo-terminal pair for the port tests: the component opens the slave
// by its path, the test plays the device on the master end.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <QByteArray>

namespace telvar::test {

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0 && slave_ >= 0; }
  const std::string& path() const { return path_; }
  int master() const { return master_; }
  int slave() const { return slave_; }  // kept open by the test, for reading back settings

  void send(const QByteArray& bytes) const;  // the device sends
  // What the device receives within timeoutMs (stops early at count bytes).
  QByteArray receive(int count, int timeoutMs) const;
  void closeMaster();  // the device hangs up

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

// Output and input rate of a tty as the kernel holds them, read with the
// termios2 interface (kept in a file of its own: its header clashes with
// <termios.h>).
bool ReadTtyRates(int fd, unsigned* output, unsigned* input);

}  // namespace telvar::test
