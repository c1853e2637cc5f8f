#include "widgets/bounded_spin_edit.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QLocale>

namespace telvar {

namespace {

// Takes prefix off the front of text at position at, if it is there.
bool Take(const QString& text, qsizetype& at, const QString& prefix) {
  if (prefix.isEmpty() || !QStringView(text).mid(at).startsWith(prefix)) return false;
  at += prefix.size();
  return true;
}

double Clamped(double value, double minimum, double maximum) { return std::clamp(value, minimum, maximum); }

// A decimal separator: the point, the comma (the numpad key on a Russian
// layout) or whatever the locale writes.
bool TakeDecimalSeparator(const QString& text, qsizetype& at, const QLocale& locale) {
  return Take(text, at, QStringLiteral(".")) || Take(text, at, QStringLiteral(",")) ||
         Take(text, at, locale.decimalPoint());
}

// While the user types nothing is refused: a key that leaves no number stays
// in the box, where it can be seen and corrected, and Return or the loss of
// the focus then gives back the previous value.
QValidator::State WhileTyping(QValidator::State state) {
  return state == QValidator::Invalid ? QValidator::Intermediate : state;
}

}  // namespace

TypedNumber ReadTypedNumber(const QString& typed, const QLocale& locale, int decimals, double minimum, double maximum) {
  const QString text = typed.trimmed();
  qsizetype at = 0;
  const bool negative = Take(text, at, locale.negativeSign()) || Take(text, at, QStringLiteral("-"));
  if (!negative && !Take(text, at, locale.positiveSign())) Take(text, at, QStringLiteral("+"));

  // The digits are gathered in the C form, whatever digits the locale uses.
  QString whole;
  QString fraction;
  bool point = false;
  while (at < text.size()) {
    const QChar c = text[at];
    if (c.isDigit()) {
      (point ? fraction : whole) += QChar(u'0' + c.digitValue());
      ++at;
    } else if (!point && decimals > 0 && TakeDecimalSeparator(text, at, locale)) {
      point = true;
    } else {
      return {QValidator::Invalid, false, 0.0};
    }
  }
  if (fraction.size() > decimals) return {QValidator::Invalid, false, 0.0};
  if (whole.isEmpty() && fraction.isEmpty()) return {QValidator::Intermediate, false, 0.0};

  bool ok = false;
  double value = (whole.isEmpty() ? QStringLiteral("0") : whole)
                     .append(QLatin1Char('.'))
                     .append(fraction.isEmpty() ? QStringLiteral("0") : fraction)
                     .toDouble(&ok);
  // Only a run of digits too long for a double fails here: beyond any bound.
  if (!ok || !std::isfinite(value)) value = std::numeric_limits<double>::infinity();
  if (negative) value = -value;
  const bool within = value >= minimum && value <= maximum;
  return {within ? QValidator::Acceptable : QValidator::Intermediate, true, value};
}

TypedNumber BoundedSpinEdit::Read(const QString& text) const {
  return ReadTypedNumber(text, locale(), 0, minimum(), maximum());
}

QValidator::State BoundedSpinEdit::validate(QString& text, int&) const { return WhileTyping(Read(text).state); }

void BoundedSpinEdit::fixup(QString& text) const {
  // Text that is no number stays as it is: the spin edit then keeps its value.
  const TypedNumber typed = Read(text);
  if (typed.isNumber) text = textFromValue(int(Clamped(typed.value, minimum(), maximum())));
}

int BoundedSpinEdit::valueFromText(const QString& text) const {
  const TypedNumber typed = Read(text);
  return typed.isNumber ? int(Clamped(typed.value, minimum(), maximum())) : value();
}

TypedNumber BoundedDoubleSpinEdit::Read(const QString& text) const {
  return ReadTypedNumber(text, locale(), decimals(), minimum(), maximum());
}

BoundedDoubleSpinEdit::BoundedDoubleSpinEdit(QWidget* parent) : QDoubleSpinBox(parent) { setLocale(QLocale::c()); }

QValidator::State BoundedDoubleSpinEdit::validate(QString& text, int&) const { return WhileTyping(Read(text).state); }

void BoundedDoubleSpinEdit::fixup(QString& text) const {
  const TypedNumber typed = Read(text);
  if (typed.isNumber) text = textFromValue(Clamped(typed.value, minimum(), maximum()));
}

double BoundedDoubleSpinEdit::valueFromText(const QString& text) const {
  const TypedNumber typed = Read(text);
  return typed.isNumber ? Clamped(typed.value, minimum(), maximum()) : value();
}

}  // namespace telvar
