#include "widgets/status_bar_panel.h"

#include <algorithm>

#include <QPainter>
#include <QStyle>

namespace telvar {

StatusBarPanel::StatusBarPanel(int leastWidth, bool elides, QWidget* parent) : QLabel(parent), elides_(elides) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setContentsMargins(3, 0, 3, 0);
  setMinimumWidth(leastWidth);
}

void StatusBarPanel::Reserve(const QStringList& texts) {
  int width = minimumWidth();
  for (const QString& text : texts) width = std::max(width, TextWidth(text));
  setMinimumWidth(width);
}

int StatusBarPanel::WholeTextWidth() const { return TextWidth(text()); }

int StatusBarPanel::TextWidth(const QString& text) const {
  // A label of the same make tells; this one's own size hint is never below
  // its minimum width.
  QLabel probe(text);
  probe.setFont(font());
  probe.setFrameStyle(frameStyle());
  probe.setContentsMargins(contentsMargins());
  probe.setAlignment(alignment());
  probe.setIndent(indent());
  probe.setMargin(margin());
  return probe.sizeHint().width();
}

QString StatusBarPanel::ShownText() const {
  if (!elides_) return text();
  return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

void StatusBarPanel::paintEvent(QPaintEvent* event) {
  if (!elides_) {
    QLabel::paintEvent(event);
    return;
  }
  QPainter painter(this);
  drawFrame(&painter);
  style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(), ShownText(),
                        foregroundRole());
}

}  // namespace telvar
