// The small helpers both windows build their controls with.
#pragma once

#include <QGroupBox>
#include <QLayout>
#include <QMargins>
#include <QString>

namespace telvar {

// Gives widget its objectName, by which tests and the windows find it.
template <typename W>
W* Named(W* widget, const QString& name) {
  widget->setObjectName(name);
  return widget;
}

template <typename W>
W* Named(W* widget, const char* name) {
  return Named(widget, QString::fromLatin1(name));
}

inline QGroupBox* Group(const char* name, const QString& title, QWidget* parent) {
  return Named(new QGroupBox(title, parent), name);
}

// Dense, as an engineering tool: a group keeps little room around its rows.
inline const QMargins kGroupMargins(8, 3, 8, 3);
// Around the window's column of groups.
inline const QMargins kColumnMargins(6, 4, 6, 6);

// A group's rows kept dense, spacing pixels between them.
inline void Tighten(QLayout* rows, int spacing) {
  rows->setContentsMargins(kGroupMargins);
  rows->setSpacing(spacing);
}

}  // namespace telvar
