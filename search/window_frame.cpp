#include "search/window_frame.h"

#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QWidget>

namespace telvar {

QFont WindowFont() { return QFont(QStringLiteral("Courier"), 8); }

FrameFit FitFrame(int screenHeight, int width, int height, int scrollBarWidth) {
  const int room = screenHeight - kScreenReserve;
  if (room >= height) return {width, height, false};
  return {width + scrollBarWidth, room, true};
}

FrameFit FitWindowToScreen(QWidget* window, QScrollArea* content) {
  const QScreen* screen = window->screen();
  const int screenHeight = screen ? screen->geometry().height() : window->height() + kScreenReserve;
  const FrameFit fit = FitFrame(screenHeight, window->width(), window->height(),
                                window->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
  if (fit.scrolls) {
    if (content) content->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    if (window->minimumSize() == window->maximumSize()) {
      window->setFixedSize(fit.width, fit.height);
    } else {
      window->resize(fit.width, fit.height);
    }
  }
  return fit;
}

}  // namespace telvar
