#include "widgets/message_boxes.h"

#include <exception>

#include <QApplication>

namespace telvar {

namespace {
DialogHook& Hook() {
  static DialogHook hook;
  return hook;
}
}  // namespace

void SetDialogHook(DialogHook hook) { Hook() = std::move(hook); }

QMessageBox::StandardButton ShowMessage(QMessageBox::Icon icon, const QString& text,
                                        QMessageBox::StandardButtons buttons) {
  if (Hook()) return Hook()(icon, text, buttons);
  QMessageBox box(icon, QApplication::applicationDisplayName(), text, buttons, QApplication::activeWindow());
  return QMessageBox::StandardButton(box.exec());
}

void RunGuarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    ShowMessage(QMessageBox::Critical, QString::fromLocal8Bit(error.what()));
  } catch (...) {
    ShowMessage(QMessageBox::Critical, QStringLiteral("Unknown error"));
  }
}

}  // namespace telvar
