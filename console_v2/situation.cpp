#include "console_v2/situation.h"

#include <QWidget>

namespace telvar::v2 {

void ApplyPollSituation(const SituationControls& controls, bool polling) {
  controls.TeGroupBox5->setEnabled(!polling);
  controls.TeGroupBox7->setEnabled(!polling);
  controls.TeSComboBox2->setVisible(!polling);
}

}  // namespace telvar::v2
