#include "console_v2/situation.h"

#include <QWidget>

namespace telvar::v2 {

void ApplySituation(const SituationControls& controls, bool polling, bool searching) {
  controls.TeGroupBox5->setEnabled(!polling && !searching);
  controls.TeGroupBox7->setEnabled(!polling && !searching);
  controls.TeSComboBox2->setVisible(!polling);
  controls.TeSComboBox2->setEnabled(!searching);
  for (QWidget* group : {controls.TeGroupBox3, controls.TeGroupBox4, controls.TeGroupBox6}) {
    if (group) group->setEnabled(!searching);
  }
}

}  // namespace telvar::v2
