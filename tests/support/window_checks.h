// Checks of a window as a technician sees it: the contents of its scroll
// area whole, and the panels of its status bar whole inside the bar.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QStatusBar>
#include <QStringList>

namespace telvar::testing {

// The group boxes and text boxes of the area's widget that the viewport cuts
// off on the right, by object name.
inline QStringList CutOnTheRight(const QScrollArea* area) {
  QStringList cut;
  const QWidget* viewport = area->viewport();
  const QWidget* contents = area->widget();
  for (const QWidget* w : contents->findChildren<QWidget*>()) {
    if (!qobject_cast<const QGroupBox*>(w) && !qobject_cast<const QPlainTextEdit*>(w)) continue;
    if (!w->isVisibleTo(contents)) continue;
    if (w->mapTo(viewport, QPoint(w->width() - 1, 0)).x() >= viewport->width()) cut << w->objectName();
  }
  if (contents->width() > viewport->width()) cut << contents->objectName();
  return cut;
}

// The panels that the bar cuts off or that are narrower than their text, by
// object name; except, for its width, an eliding panel.
inline QStringList PanelsNotWhole(const QStatusBar* bar, const QLabel* eliding) {
  QStringList cut;
  for (const QLabel* panel : bar->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (!panel->isVisible()) continue;
    const bool outside = panel->geometry().right() >= bar->width();
    const bool narrow = panel != eliding && panel->width() < panel->sizeHint().width();
    if (outside || narrow) cut << panel->objectName();
  }
  return cut;
}

}  // namespace telvar::testing
