// Which of the window's own controls are usable in which situation. The
// situation is the sequencing state: only the cyclic poll changes these
// controls (TeButton5's caption and the "В ЦИКЛЕ" box are the status
// polling's); every other state leaves them as at start-up.
#pragma once

#include <cstdint>

class QWidget;

namespace telvar::v2 {

struct SituationControls {
  QWidget* TeGroupBox5 = nullptr;   // calibration, hidden in this window
  QWidget* TeGroupBox7 = nullptr;   // cable length and linear resistance
  QWidget* TeSComboBox2 = nullptr;  // model, over the grid's first value cell
};

// While the poll runs no length, resistance, calibration or model change
// can start, and the grid's model text shows instead of the combo box.
void ApplyPollSituation(const SituationControls& controls, bool polling);

}  // namespace telvar::v2
