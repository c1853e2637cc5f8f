// The fixture of one window's link, connection settings and menu bar, on a
// fake port.
#pragma once

#include <stdexcept>

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QMenuBar>

#include "link/bus_link.h"
#include "link/frame.h"
#include "link/port_operations.h"
#include "link/traffic_log.h"
#include "serial/com_port.h"
#include "serial/connection_settings.h"
#include "tests/support/crc.h"
#include "tests/support/fake_port.h"
#include "widgets/message_boxes.h"

namespace telvar::test {

using testing::BytesWithCrc;
using testing::FakePort;

// The pieces of one window without the window's own console.
struct WindowFixture {
  WindowFixture() {
    port.name = QStringLiteral("COM1");
    link.Timer_Programm.stop();
    link.hooks.addressReplyHandler = [this] { connection.AddressReplyHandler(); };
    link.hooks.baudReplyHandler = [this] { connection.BaudReplyHandler(); };
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
