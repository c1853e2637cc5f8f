// The device simulator on a pseudo-terminal line, and the window of
// telvar_v210 talking to it through the real serial port component.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QSignalSpy>

#include "console_v2/main_window.h"
#include "link/bus_link.h"
#include "serial/connection_settings.h"
#include "tests/sim/sim_process.h"
#include "widgets/message_boxes.h"

namespace v2test {

// The simulator on a line of its own, for the window tests.
class SimLine {
 public:
  explicit SimLine(const QStringList& devices) { ready_ = sim_.start(devices); }

  bool Ready() const { return ready_; }
  QString Path() const { return sim_.link(); }
  QString Dir() const { return QFileInfo(sim_.link()).path(); }
  QList<SimLogLine> Lines() const { return sim_.log(); }
  QStringList Requests() const {
    QStringList requests;
    for (const SimLogLine& line : Lines()) requests << line.request;
    return requests;
  }

 private:
  SimProcess sim_;
  bool ready_ = false;
};

// Every message box is answered by the test.
struct Dialogs {
  Dialogs() {
    telvar::SetDialogHook([this](QMessageBox::Icon, const QString& text, QMessageBox::StandardButtons) {
      asked << text;
      return answer;
    });
  }
  ~Dialogs() { telvar::SetDialogHook({}); }
  QStringList asked;
  QMessageBox::StandardButton answer = QMessageBox::Yes;
};

// The window with its port set to path through the connection settings:
// the platform list is empty, so the port list comes from a comports.txt
// that names path.
class Window {
 public:
  Window(const QString& path, const QString& dir) {
    QFile list(dir + QStringLiteral("/comports.txt"));
    if (list.open(QIODevice::WriteOnly | QIODevice::Text)) list.write(path.toLocal8Bit() + "\n");
    list.close();
    form.Connection().platformPortList = [] { return telvar::PlatformPortList{true, {}}; };
    form.Connection().comportsPath = list.fileName();
    form.Connection().TeMenuBar1MouseDown();
  }

  template <typename T = QWidget>
  T* Find(const QString& name) {
    return form.findChild<T*>(name);
  }
  QAbstractButton* Button(const QString& name) { return Find<QAbstractButton>(name); }
  QStringList Memo() { return form.Controls().TeMemo1->toPlainText().split(QLatin1Char('\n')); }
  telvar::BusLink& Link() { return form.Link(); }
  // The user picks another item of a combo box.
  static void Pick(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
  }
  // Waits for count transaction ends.
  bool WaitForEnds(int count, int timeoutMs = 3000) {
    QSignalSpy ended(&form.Link(), &telvar::BusLink::transactionEnded);
    while (ended.count() < count) {
      if (!ended.wait(timeoutMs)) return false;
    }
    return true;
  }

  telvar::v2::TForm1 form;
};

}  // namespace v2test
