// Small things both windows need for their frame: the window font and
// fitting a tall window to a small screen.
#pragma once

#include <QFont>

class QScrollArea;
class QWidget;

namespace telvar {

constexpr int kScreenReserve = 25;

// Courier, 8 point.
QFont WindowFont();

struct FrameFit {
  int width;
  int height;
  bool scrolls;
};
// When screenHeight - 25 is below height the window becomes that high,
// scrolls vertically and grows by the scroll bar's width.
FrameFit FitFrame(int screenHeight, int width, int height, int scrollBarWidth);

// Applies FitFrame to window with its screen's height; content is the
// scroll area that holds the window's contents (its vertical scroll bar is
// switched on when the window scrolls). Returns the fit.
FrameFit FitWindowToScreen(QWidget* window, QScrollArea* content);

}  // namespace telvar
