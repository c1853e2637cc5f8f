// What a technician does to a field, as real input events: a turn of the
// mouse wheel over a control, and typing into a spin edit.
#pragma once

#include <QAbstractSpinBox>
#include <QApplication>
#include <QStringList>
#include <QWheelEvent>
#include <QtTest>

namespace telvar::testing {

constexpr int kWheelNotch = 120;
// Longer than any window takes to send the next step of what it started.
constexpr int kQuietMs = 200;

// One wheel turn of notches (positive away from the user) over the middle
// of control, through the application so that event filters run.
inline void TurnWheel(QWidget* control, int notches) {
  const QPointF middle = QRectF(control->rect()).center();
  QWheelEvent turn(middle, control->mapToGlobal(middle), QPoint(), QPoint(0, notches * kWheelNotch), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(control, &turn);
}

// Clicks into the field, selects all and types text, or deletes the
// selection when text is empty. The field keeps the focus.
inline void TypeInto(QAbstractSpinBox* edit, const QString& text) {
  QTest::mouseClick(edit, Qt::LeftButton);
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  if (text.isEmpty()) {
    QTest::keyClick(edit, Qt::Key_Delete);
  } else {
    QTest::keyClicks(edit, text);
  }
}

// The wheel turned both ways over control, which is given the focus first
// when focused, must neither send anything nor change a setting: settings()
// lists what the window's fields show, requests() what reached the device.
// The wheel gives no focus either. The caller checks
// QTest::currentTestFailed() after it.
template <typename Settings, typename Requests>
void ExpectWheelChangesNothing(QWidget* control, bool focused, Settings settings, Requests requests) {
  if (focused) {
    control->setFocus(Qt::TabFocusReason);
    QVERIFY(control->hasFocus());
  }
  const QStringList before = settings();
  for (int notches : {-1, -1, 1, 2, 1}) TurnWheel(control, notches);
  QTest::qWait(kQuietMs);
  QCOMPARE(requests(), QStringList());
  QCOMPARE(settings(), before);
  QCOMPARE(control->focusPolicy(), Qt::StrongFocus);
  QCOMPARE(control->hasFocus(), focused);
}

}  // namespace telvar::testing
