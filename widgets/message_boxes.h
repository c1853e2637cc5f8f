// Every message box of the programs goes through one hook, so tests can
// answer them and nothing modal blocks a headless run.
#pragma once

#include <functional>

#include <QMessageBox>
#include <QString>

namespace telvar {

using DialogHook = std::function<QMessageBox::StandardButton(QMessageBox::Icon icon, const QString& text,
                                                             QMessageBox::StandardButtons buttons)>;

// Replaces the hook (an empty function restores the real message boxes).
void SetDialogHook(DialogHook hook);

// Shows a message box (or asks the hook) and returns the button pressed.
QMessageBox::StandardButton ShowMessage(QMessageBox::Icon icon, const QString& text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// Runs a handler and shows the message of any exception that leaves it, so
// that no exception escapes a slot.
void RunGuarded(const std::function<void()>& handler);

}  // namespace telvar
