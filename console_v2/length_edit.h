// A cable length in whole metres: arrows step by 1 m, Page Up and Page Down
// by 100 m (a plain spin box would page by ten steps).
#pragma once

#include <QSpinBox>

namespace telvar::v2 {

class LengthEdit : public QSpinBox {
 public:
  using QSpinBox::QSpinBox;
  static constexpr int kLargeStep = 100;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace telvar::v2
