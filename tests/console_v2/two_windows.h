// Either window, telvar_v210 or telvar_105, shown and active, with its port
// on the device simulator: a ТЕЛВАР-2 or a ТЕЛВАР-2(EX) at the start address
// 247. For the tests that hold for both programs alike.
#pragma once

#include <memory>

#include <QApplication>
#include <QMainWindow>
#include <QSignalSpy>
#include <QtTest>

#include "console_v1/main_window.h"
#include "console_v2/main_window.h"
#include "serial/connection_settings.h"
#include "tests/sim/sim_process.h"

namespace both {

enum class Program { V210, V105 };

inline const char* ProgramName(Program program) { return program == Program::V210 ? "telvar_v210" : "telvar_105"; }

class Bench {
 public:
  explicit Bench(Program program) : program_(program) {}

  bool Start() {
    const bool v210 = program_ == Program::V210;
    if (!sim_.start({QStringLiteral("--device"), v210 ? QStringLiteral("247:20") : QStringLiteral("247:3")})) {
      return false;
    }
    if (v210) {
      Open(std::make_unique<telvar::v2::TForm1>());
    } else {
      Open(std::make_unique<telvar::v1::TForm1>());
    }
    form_->show();
    form_->activateWindow();
    return QTest::qWaitForWindowActive(form_.get());
  }

  QMainWindow* Form() const { return form_.get(); }
  telvar::BusLink& Link() const { return *link_; }
  template <typename T = QWidget>
  T* Find(const QString& name) const {
    return form_->findChild<T*>(name);
  }
  QStringList Requests() const {
    QStringList requests;
    for (const SimLogLine& line : sim_.log()) requests << line.request;
    return requests;
  }
  // Waits for count transaction ends from now on.
  bool WaitForEnds(int count, int timeoutMs = 3000) const {
    QSignalSpy ended(link_, &telvar::BusLink::transactionEnded);
    while (ended.count() < count) {
      if (!ended.wait(timeoutMs)) return false;
    }
    return true;
  }

 private:
  template <typename Form>
  void Open(std::unique_ptr<Form> form) {
    const QString path = sim_.link();
    form->Connection().platformPortList = [path] { return telvar::PlatformPortList{true, {path}}; };
    form->Connection().TeMenuBar1MouseDown();
    link_ = &form->Link();
    form_ = std::move(form);
  }

  Program program_;
  SimProcess sim_;
  std::unique_ptr<QMainWindow> form_;
  telvar::BusLink* link_ = nullptr;
};

}  // namespace both

Q_DECLARE_METATYPE(both::Program)
