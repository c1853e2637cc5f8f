// A port stand-in for unit tests: records what is written, fails on demand
// and lets the test hand in received bytes as the event thread would.
#pragma once

#include <stdexcept>

#include <QByteArray>
#include <QList>
#include <QString>

#include "link/port_operations.h"

namespace telvar::testing {

class FakePort : public PortOperations {
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
    written.append(QByteArray(reinterpret_cast<const char*>(bytes), count));
    return count;
  }
  QString PortName() const override { return name; }
  void SetReadLimit(uint8_t limit) override { readLimit = limit; }
  quint64 OpenPeriod() const override { return period; }

  // As the event thread would: at most the read limit, tagged with the
  // current open period.
  void Deliver(const QByteArray& bytes) { onReceived(bytes.left(readLimit), period); }
  // Reply bytes as one receive notification of the current opening, whole.
  void Reply(const QByteArray& bytes) { onReceived(bytes, period); }

  bool open = false;
  bool failOpen = false;
  bool failWrite = false;  // an open port whose device went away
  bool failClose = false;
  int closeCalls = 0;
  quint64 period = 0;
  uint8_t readLimit = 0;
  QString name = QStringLiteral("COM7");
  QList<QByteArray> written;
};

}  // namespace telvar::testing
