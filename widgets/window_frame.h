// Small things both windows need for their frame: the window font, sizing
// the window to what it holds and fitting it to a small screen, and the
// traffic log box with the search progress over it.
#pragma once

#include <QFont>

class QGridLayout;
class QPlainTextEdit;
class QProgressBar;
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

// Gives window a fixed size at which content, the scroll area that holds
// the window's contents, shows the whole of its widget without scroll bars.
// What the menu and status bars take is measured from the window's own
// layout: their size hints are not always the heights they are given.
void SizeWindowToContent(QWidget* window, QScrollArea* content);

// Applies FitFrame to window with its screen's height; content is the
// scroll area that holds the window's contents (its vertical scroll bar is
// switched on when the window scrolls). Returns the fit.
FrameFit FitWindowToScreen(QWidget* window, QScrollArea* content);
// The same for a screen screenHeight pixels high.
FrameFit FitWindowToScreen(QWidget* window, QScrollArea* content, int screenHeight);

// TeMemo1, the traffic log box (read-only, Courier New 11 px, no wrapping,
// memoWidth wide), with TeProgressBar1 (1..progressMaximum, hidden) lying over
// its lower part; both sit in cell, a grid layout of their own. The caller
// sets the box's height.
struct TrafficLogView {
  QGridLayout* cell;
  QPlainTextEdit* TeMemo1;
  QProgressBar* TeProgressBar1;
};
TrafficLogView BuildTrafficLogView(QWidget* parent, int memoWidth, int progressMaximum);

}  // namespace telvar
