// The keyboard walks a window as its user reads it, and presses its buttons
// as on the Windows desktop. Tab and Shift+Tab go through the controls in the
// order given, top to bottom and left to right; Return on a focused push
// button presses it, as Space does.
#pragma once

#include <QList>

class QWidget;

namespace telvar {

// Chains controls for Tab in the order listed, after first (the control that
// holds the focus when the window opens, e.g. its menu bar), so that the
// first Tab from there goes to the first control listed and Shift+Tab to the
// last. A control hidden or disabled at the time is passed over by Tab.
void SetTabChain(QWidget* first, const QList<QWidget*>& controls);

// Return and Enter press every push button of window that has the focus,
// once the window holds all its buttons. A held key presses once: its
// repeats are swallowed.
void PressButtonsOnReturn(QWidget* window);

}  // namespace telvar
