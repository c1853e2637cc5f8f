#include "console_v2/model_combo_box.h"

#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace telvar::v2 {

void ModelComboBox::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  if (!option.currentText.isEmpty()) option.currentText = QStringLiteral("    ") + option.currentText.trimmed();
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

}  // namespace telvar::v2
