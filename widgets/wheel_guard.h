// The mouse wheel never changes a setting by itself. A combo box would take
// a wheel notch as a pick, and a spin edit as a step, while the user only
// meant to scroll the window (which scrolls on a small screen). So a turn
// over a combo box, or over a spin edit that does not have the focus, goes
// to the window's scroll area instead. A spin edit that has the focus still
// takes the wheel: its value is written only by its own button. The wheel
// never gives these controls the focus.
#pragma once

class QScrollArea;
class QWidget;

namespace telvar {

// Guards every combo box and spin edit of window, once it holds all its
// controls; scrollArea (may be null) gets the turns they refuse.
void GuardWheel(QWidget* window, QScrollArea* scrollArea);

}  // namespace telvar
