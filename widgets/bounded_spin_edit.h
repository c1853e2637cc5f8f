// Spin edits whose typed number beyond a bound becomes that bound. While the
// user types, every key stays in the box as typed: a well-formed number
// outside the range (a plain spin box would drop the last key, so 2500
// became 250) and text that is no number alike. On Return or when the field
// loses the focus a number beyond a bound is replaced by the nearest bound,
// which is shown and only then taken as the value; text that is not a number
// gives back the previous value. The edits carry no prefix, suffix or
// special-value text.
#pragma once

#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QValidator>

class QLocale;

namespace telvar {

struct TypedNumber {
  QValidator::State state;
  bool isNumber;  // a complete number, within the bounds or not
  double value;   // the number, when isNumber (an infinity when too long to hold)
};

// Reads text typed into a spin edit of range minimum..maximum that takes at
// most decimals digits after a decimal separator, the point or the comma
// whatever the locale (or the locale's own): a number within the range is
// Acceptable, a number beyond it or a number begun ("", "-", ".")
// Intermediate, anything else Invalid.
TypedNumber ReadTypedNumber(const QString& text, const QLocale& locale, int decimals, double minimum, double maximum);

class BoundedSpinEdit : public QSpinBox {
 public:
  using QSpinBox::QSpinBox;
  QValidator::State validate(QString& text, int& pos) const override;
  void fixup(QString& text) const override;

 protected:
  int valueFromText(const QString& text) const override;

 private:
  TypedNumber Read(const QString& text) const;
};

// Shows its number with a point whatever the desktop's locale, as the status
// grids do, and takes a point or a comma.
class BoundedDoubleSpinEdit : public QDoubleSpinBox {
 public:
  explicit BoundedDoubleSpinEdit(QWidget* parent = nullptr);
  QValidator::State validate(QString& text, int& pos) const override;
  void fixup(QString& text) const override;
  double valueFromText(const QString& text) const override;

 private:
  TypedNumber Read(const QString& text) const;
};

}  // namespace telvar
