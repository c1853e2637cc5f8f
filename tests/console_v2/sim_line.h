// The device simulator on a pseudo-terminal line, and the window of
// telvar_v210 talking to it through the real serial port component.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>

#include <csignal>
#include <sys/prctl.h>

#include "console_v2/main_window.h"
#include "link/bus_link.h"
#include "link/dialogs.h"
#include "serial/connection_settings.h"

namespace v2test {

struct SimLogLine {
  double time = 0;  // seconds since the simulator started
  QString request;  // "01 03 00 00 00 1E C5 C2"
  QString reply;    // "-" when none went out
  QString outcome;  // "ok", "not-mine", "broadcast", "fault:no-reply", ...
};

class SimLine {
 public:
  explicit SimLine(const QStringList& devices) {
    link_ = dir_.filePath(QStringLiteral("ttyV210"));
    log_ = dir_.filePath(QStringLiteral("sim.log"));
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A test that crashes takes its simulator with it.
    process_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_.start(QStringLiteral(TELVAR_SIM_PATH),
                   QStringList{QStringLiteral("--link"), link_, QStringLiteral("--log"), log_} + devices);
    // The simulator prints the link path once it serves the line.
    while (process_.waitForReadyRead(5000)) {
      if (QString::fromLocal8Bit(process_.readAll()).contains(link_)) {
        ready_ = true;
        break;
      }
    }
  }
  ~SimLine() {
    process_.terminate();
    if (!process_.waitForFinished(3000)) process_.kill();
  }

  bool Ready() const { return ready_; }
  QString Path() const { return link_; }
  QString Dir() const { return dir_.path(); }

  QList<SimLogLine> Lines() const {
    QList<SimLogLine> lines;
    QFile file(log_);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return lines;
    QTextStream in(&file);
    while (!in.atEnd()) {
      const QStringList fields = in.readLine().split(QLatin1Char('\t'));
      if (fields.size() == 4) lines.append({fields[0].toDouble(), fields[1], fields[2], fields[3]});
    }
    return lines;
  }
  QStringList Requests() const {
    QStringList requests;
    for (const SimLogLine& line : Lines()) requests << line.request;
    return requests;
  }

 private:
  QTemporaryDir dir_;
  QString link_;
  QString log_;
  QProcess process_;
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
  QStringList Memo() { return form.Layout().TeMemo1->toPlainText().split(QLatin1Char('\n')); }
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
