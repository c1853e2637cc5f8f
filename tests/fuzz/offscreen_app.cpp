#include "tests/fuzz/offscreen_app.h"

#include <cstdio>
#include <cstdlib>

#include <QApplication>

#include "widgets/message_boxes.h"

// Font look-ups keep a few blocks of fontconfig's own that nothing frees.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace telvar::fuzz {

namespace {

void DropMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type != QtFatalMsg) return;
  std::fprintf(stderr, "Qt fatal: %s\n", qPrintable(message));
  std::abort();
}

}  // namespace

DialogAnswers& Dialogs() {
  static DialogAnswers answers;
  return answers;
}

void StartOffscreenApplication() {
  if (QApplication::instance()) return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(DropMessage);
  static int argc = 1;
  static char name[] = "telvar_fuzz";
  static char* argv[] = {name, nullptr};
  // Lives for the whole run: the fuzzer ends the process with exit().
  new QApplication(argc, argv);
  SetDialogHook([](QMessageBox::Icon, const QString& text, QMessageBox::StandardButtons) {
    Dialogs().texts << text;
    return Dialogs().answer;
  });
}

}  // namespace telvar::fuzz
