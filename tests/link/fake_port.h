// A port stand-in for unit tests of the cycle: records what is written and
// lets the test hand in received bytes as the event thread would.
#pragma once

#include <stdexcept>
#include <vector>

#include <QByteArray>

#include "link/port_operations.h"

class FakePort : public telvar::PortOperations {
 public:
  void OpenPort() override {
    if (failOpen) throw std::runtime_error("Unable to open com port");
    if (!open) ++period;
    open = true;
  }
  void ClosePort() override {
    ++closeCalls;
    if (failClose && open) throw std::runtime_error("PurgeComm function failed");
    open = false;
  }
  int WritePort(const uint8_t* bytes, int count) override {
    if (failWrite) throw std::runtime_error("WriteFile function failed");
    written.emplace_back(reinterpret_cast<const char*>(bytes), count);
    return count;
  }
  QString PortName() const override { return name; }
  void SetReadLimit(uint8_t limit) override { readLimit = limit; }
  quint64 OpenPeriod() const override { return period; }

  // As the event thread would: at most the read limit, tagged with the
  // current open period.
  void Deliver(const QByteArray& bytes) { onReceived(bytes.left(readLimit), period); }

  bool open = false;
  bool failOpen = false;
  bool failWrite = false;
  bool failClose = false;
  int closeCalls = 0;
  quint64 period = 0;
  uint8_t readLimit = 0;
  QString name = QStringLiteral("COM7");
  std::vector<QByteArray> written;
};
