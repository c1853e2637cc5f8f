// The handful of port operations the transaction cycle needs. The serial
// port component provides them (ComPortBinding); unit tests may put any
// object with the same contracts in its place.
#pragma once

#include <cstdint>
#include <functional>

#include <QByteArray>
#include <QString>

namespace telvar {

class PortOperations {
 public:
  virtual ~PortOperations() = default;
  // Opens the port (nothing when open); throws std::exception on failure.
  virtual void OpenPort() = 0;
  // Closes the port (nothing when closed); may throw std::exception.
  virtual void ClosePort() = 0;
  // Writes the bytes; throws std::exception on failure.
  virtual int WritePort(const uint8_t* bytes, int count) = 0;
  virtual QString PortName() const = 0;
  // How many bytes the next receive notification may read (the expected
  // reply length); set by the senders before they write.
  virtual void SetReadLimit(uint8_t limit) = 0;
  // The port's current open period (see TCustomComPort::OpenPeriod).
  virtual quint64 OpenPeriod() const = 0;

  // Set by the link: called on the UI thread with the bytes that one receive
  // notification read, tagged with the open period in which they were read.
  std::function<void(const QByteArray& bytes, quint64 openPeriod)> onReceived;
};

}  // namespace telvar
