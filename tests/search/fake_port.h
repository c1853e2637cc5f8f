// A port that keeps what the link writes and hands it replies, with the
// fixture of one window's link, connection settings and menu bar.
#pragma once

#include <stdexcept>

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QMenuBar>

#include "link/bus_link.h"
#include "link/dialogs.h"
#include "link/frame.h"
#include "link/port_operations.h"
#include "link/traffic_log.h"
#include "serial/com_port.h"
#include "serial/connection_settings.h"

namespace telvar::test {

class FakePort : public PortOperations {
 public:
  void OpenPort() override {
    if (failOpen) throw std::runtime_error("cannot open");
    if (!open) ++period;
    open = true;
  }
  void ClosePort() override { open = false; }
  int WritePort(const uint8_t* bytes, int count) override {
    if (failWrite) throw std::runtime_error("cannot write");
    written.append(QByteArray(reinterpret_cast<const char*>(bytes), count));
    return count;
  }
  QString PortName() const override { return QStringLiteral("COM1"); }
  void SetReadLimit(uint8_t limit) override { readLimit = limit; }
  quint64 OpenPeriod() const override { return period; }

  // Delivers reply bytes as one receive notification of the current opening.
  void Reply(const QByteArray& bytes) { onReceived(bytes, period); }

  QList<QByteArray> written;
  bool open = false;
  bool failOpen = false;
  bool failWrite = false;  // an open port whose device went away
  quint64 period = 0;
  uint8_t readLimit = 0;
};

// bytes followed by their CRC, low byte first.
inline QByteArray WithCrc(std::initializer_list<int> bytes) {
  FrameBuffer frame{};
  uint8_t length = 0;
  for (int b : bytes) frame[length++] = uint8_t(b);
  AppendCrc(frame, length);
  return QByteArray(reinterpret_cast<const char*>(frame.data()), length + 2);
}

// The pieces of one window without the window's own console.
struct WindowFixture {
  WindowFixture() {
    link.Timer_Programm.stop();
    connection.platformPortList = [this] { return platform; };
    connection.BuildMenu(window.menuBar());
  }
  // Ends the outstanding transaction as if Timer_Rx had fired, after the
  // reply (if any) has been received.
  void EndTransaction(const QByteArray& reply = {}) {
    if (!reply.isEmpty()) port.Reply(reply);
    link.Timer_RxTimer();
  }

  FakePort port;
  TrafficLog log;
  BusLink link{port, log};
  TComPort comPort;
  QMainWindow window;
  ConnectionSettings connection{link, comPort, &window};
  PlatformPortList platform{true, {}};
};

// Answers every message box with answer and remembers what was asked.
struct DialogRecorder {
  explicit DialogRecorder(QMessageBox::StandardButton answer = QMessageBox::Ok) {
    SetDialogHook([this, answer](QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons) {
      asked.append({icon, text, buttons});
      return answer;
    });
  }
  ~DialogRecorder() { SetDialogHook(nullptr); }
  struct Question {
    QMessageBox::Icon icon;
    QString text;
    QMessageBox::StandardButtons buttons;
  };
  QList<Question> asked;
};

}  // namespace telvar::test
