#include "widgets/window_frame.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QLayout>
#include <QPlainTextEdit>
#include <QProgressBar>
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

void SizeWindowToContent(QWidget* window, QScrollArea* content) {
  const QWidget* inner = content->widget();
  const int frame = 2 * content->frameWidth();
  const QSize whole =
      inner->sizeHint().expandedTo(inner->minimumSizeHint()).expandedTo(inner->minimumSize()) + QSize(frame, frame);
  // The bars settle their heights on layout requests still pending (a
  // status bar whose panels got their texts); a first size then lays them
  // out around the content, and the second gives the content all it asks for.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  window->setFixedSize(whole);
  if (QLayout* layout = window->layout()) {
    layout->invalidate();
    layout->activate();
  }
  window->setFixedSize(whole + window->size() - content->size());
}

FrameFit FitWindowToScreen(QWidget* window, QScrollArea* content) {
  const QScreen* screen = window->screen();
  return FitWindowToScreen(window, content, screen ? screen->geometry().height() : window->height() + kScreenReserve);
}

FrameFit FitWindowToScreen(QWidget* window, QScrollArea* content, int screenHeight) {
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

TrafficLogView BuildTrafficLogView(QWidget* parent, int memoWidth, int progressMaximum) {
  constexpr int kMemoFontPixels = 11;
  TrafficLogView view;
  view.TeMemo1 = new QPlainTextEdit(parent);
  view.TeMemo1->setObjectName(QStringLiteral("TeMemo1"));
  view.TeMemo1->setReadOnly(true);
  view.TeMemo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  view.TeMemo1->setFixedWidth(memoWidth);
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setPixelSize(kMemoFontPixels);
  view.TeMemo1->setFont(font);

  view.TeProgressBar1 = new QProgressBar(parent);
  view.TeProgressBar1->setObjectName(QStringLiteral("TeProgressBar1"));
  view.TeProgressBar1->setRange(1, progressMaximum);
  view.TeProgressBar1->setTextVisible(false);
  view.TeProgressBar1->setFixedWidth(memoWidth - 8);
  view.TeProgressBar1->hide();

  view.cell = new QGridLayout;
  view.cell->setContentsMargins(0, 0, 0, 0);
  view.cell->addWidget(view.TeMemo1, 0, 0, Qt::AlignHCenter);
  view.cell->addWidget(view.TeProgressBar1, 0, 0, Qt::AlignBottom | Qt::AlignHCenter);
  view.TeProgressBar1->raise();
  return view;
}

}  // namespace telvar
