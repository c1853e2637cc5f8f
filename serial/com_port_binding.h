// Binds the serial port component to the transaction cycle: configures it as
// the window uses it, hands what the event thread reads to the UI thread, and
// tells how each opening of the port went.
#pragma once

#include <atomic>

#include <QObject>

#include "link/port_operations.h"

namespace telvar {

class TComPort;
class TCustomComPort;

class ComPortBinding : public QObject, public PortOperations {
  Q_OBJECT
 public:
  // Sets the port's read interval (150 ms), write time-out (1000 ms plus
  // 100 ms a byte) and receive handler. Create it on the UI thread.
  explicit ComPortBinding(TComPort& port, QObject* parent = nullptr);
  ~ComPortBinding() override;

  void OpenPort() override;
  void ClosePort() override;
  int WritePort(const uint8_t* bytes, int count) override;
  QString PortName() const override;
  void SetReadLimit(uint8_t limit) override;
  quint64 OpenPeriod() const override;

  TComPort& ComPort1() { return port_; }

 signals:
  // OpenPort has opened the port (failureReason empty) or could not open it
  // (failureReason says why, in the operating system's words). Not emitted
  // when the port was open already.
  void openResult(const QString& portName, const QString& failureReason);

 private:
  // The receive step's read, on the port's event thread.
  void ComPort1RxChar(TCustomComPort& sender, int count);

  TComPort& port_;
  std::atomic<uint8_t> readLimit_{0};
};

}  // namespace telvar
