// The model list that lies over the grid's first value cell. Its items keep
// the long run of leading spaces of the device's model names; closed, it
// shows the chosen name where the grid's value texts stand, after four
// spaces, so that the name is not pushed out of the narrow cell.
#pragma once

#include <QComboBox>

namespace telvar::v2 {

class ModelComboBox : public QComboBox {
 public:
  using QComboBox::QComboBox;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace telvar::v2
