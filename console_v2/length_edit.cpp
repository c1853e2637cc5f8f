#include "console_v2/length_edit.h"

#include <QKeyEvent>

namespace telvar::v2 {

void LengthEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
    stepBy(event->key() == Qt::Key_PageUp ? kLargeStep : -kLargeStep);
    event->accept();
    return;
  }
  BoundedSpinEdit::keyPressEvent(event);
}

}  // namespace telvar::v2
