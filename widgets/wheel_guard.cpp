#include "widgets/wheel_guard.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QPointer>
#include <QScrollArea>
#include <QWheelEvent>

namespace telvar {

namespace {

class WheelGuard : public QObject {
 public:
  WheelGuard(QWidget* window, QScrollArea* scrollArea) : QObject(window), scrollArea_(scrollArea) {}

  void Guard(QWidget* control) {
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Wheel) return false;
    auto* control = static_cast<QWidget*>(watched);
    if (qobject_cast<QAbstractSpinBox*>(control) && control->hasFocus()) return false;
    event->accept();
    Scroll(*static_cast<QWheelEvent*>(event));
    return true;
  }

 private:
  // The scroll area takes wheel turns on its viewport.
  void Scroll(const QWheelEvent& turn) const {
    if (!scrollArea_) return;
    QWidget* viewport = scrollArea_->viewport();
    QWheelEvent passed(viewport->mapFromGlobal(turn.globalPosition()), turn.globalPosition(), turn.pixelDelta(),
                       turn.angleDelta(), turn.buttons(), turn.modifiers(), turn.phase(), turn.inverted(),
                       turn.source());
    QCoreApplication::sendEvent(viewport, &passed);
  }

  QPointer<QScrollArea> scrollArea_;
};

}  // namespace

void GuardWheel(QWidget* window, QScrollArea* scrollArea) {
  auto* guard = new WheelGuard(window, scrollArea);
  for (QComboBox* combo : window->findChildren<QComboBox*>()) guard->Guard(combo);
  for (QAbstractSpinBox* spin : window->findChildren<QAbstractSpinBox*>()) guard->Guard(spin);
}

}  // namespace telvar
