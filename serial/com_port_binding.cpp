#include "serial/com_port_binding.h"

#include <array>
#include <exception>

#include "serial/com_port.h"
#include "serial/open_failure.h"

namespace telvar {

ComPortBinding::ComPortBinding(TComPort& port, QObject* parent) : QObject(parent), port_(port) {
  setObjectName(QStringLiteral("ComPort1"));
  port_.Timeouts.ReadInterval = 150;
  port_.Timeouts.ReadTotalMultiplier = 0;
  port_.Timeouts.ReadTotalConstant = 0;
  port_.Timeouts.WriteTotalMultiplier = 100;
  port_.Timeouts.WriteTotalConstant = 1000;
  port_.SyncMethod = TSyncMethod::smNone;
  port_.OnRxChar = [this](TCustomComPort& sender, int count) { ComPort1RxChar(sender, count); };
}

ComPortBinding::~ComPortBinding() {
  try {
    port_.ClosePort();
  } catch (...) {
    // Going away: a port that cannot be closed cleanly is left to the system.
  }
  port_.OnRxChar = nullptr;
}

void ComPortBinding::OpenPort() {
  if (port_.Connected()) return;
  try {
    port_.OpenPort();
  } catch (const EComPort& failure) {
    emit openResult(PortName(), QString::fromStdString(OpenFailureReason(failure)));
    throw;
  } catch (const std::exception& failure) {
    emit openResult(PortName(), QString::fromLocal8Bit(failure.what()));
    throw;
  }
  emit openResult(PortName(), QString());
}

void ComPortBinding::ClosePort() { port_.ClosePort(); }
int ComPortBinding::WritePort(const uint8_t* bytes, int count) { return port_.WritePort(bytes, count); }
QString ComPortBinding::PortName() const { return QString::fromStdString(port_.Port()); }
void ComPortBinding::SetReadLimit(uint8_t limit) { readLimit_.store(limit); }
quint64 ComPortBinding::OpenPeriod() const { return port_.OpenPeriod(); }

void ComPortBinding::ComPort1RxChar(TCustomComPort& sender, int /*count*/) {
  // Reads into a buffer of its own: the frame buffer belongs to the UI
  // thread. A read that a close interrupts throws and ends the thread.
  std::array<uint8_t, 256> buffer{};
  const uint8_t limit = readLimit_.load();
  const int read = sender.ReadPort(buffer.data(), limit == 0 ? 255 : limit);
  const quint64 period = sender.OpenPeriod();
  QByteArray bytes(reinterpret_cast<const char*>(buffer.data()), read);
  QMetaObject::invokeMethod(
      this,
      [this, bytes, period] {
        if (onReceived) onReceived(bytes, period);
      },
      Qt::QueuedConnection);
}

}  // namespace telvar
