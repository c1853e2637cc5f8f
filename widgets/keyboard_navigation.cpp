#include "widgets/keyboard_navigation.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>

namespace telvar {

namespace {

class ReturnPressesButton : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    auto* button = static_cast<QPushButton*>(watched);
    if (!key->isAutoRepeat() && button->isEnabled()) button->click();
    return true;
  }
};

}  // namespace

void SetTabChain(QWidget* first, const QList<QWidget*>& controls) {
  // setTabOrder() leaves alone a widget that takes no focus, as a menu bar
  // that has it only when the window gives it: it is chained all the same.
  const Qt::FocusPolicy policy = first->focusPolicy();
  first->setFocusPolicy(Qt::TabFocus);
  QWidget* previous = first;
  for (QWidget* control : controls) {
    QWidget::setTabOrder(previous, control);
    previous = control;
  }
  first->setFocusPolicy(policy);
}

void PressButtonsOnReturn(QWidget* window) {
  auto* presser = new ReturnPressesButton(window);
  for (QPushButton* button : window->findChildren<QPushButton*>()) button->installEventFilter(presser);
}

}  // namespace telvar
