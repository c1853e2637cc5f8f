// The QApplication of a fuzz target: the offscreen platform, Qt's messages
// dropped (a fatal one still aborts), and every message box answered at
// once through the programs' dialog hook, with its text kept.
#pragma once

#include <QMessageBox>
#include <QStringList>

namespace telvar::fuzz {

// Creates the application once; call it from LLVMFuzzerInitialize.
void StartOffscreenApplication();

struct DialogAnswers {
  QMessageBox::StandardButton answer = QMessageBox::No;  // given to every box
  QStringList texts;                                     // the boxes asked, in order
};
DialogAnswers& Dialogs();

}  // namespace telvar::fuzz
