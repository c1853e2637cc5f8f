// A cable length in whole metres: arrows step by 1 m, Page Up and Page Down
// by 100 m (a plain spin box would page by ten steps); a typed length beyond
// a bound becomes that bound.
#pragma once

#include "widgets/bounded_spin_edit.h"

namespace telvar::v2 {

class LengthEdit : public BoundedSpinEdit {
 public:
  using BoundedSpinEdit::BoundedSpinEdit;
  static constexpr int kLargeStep = 100;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace telvar::v2
