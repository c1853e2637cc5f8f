// Which of the window's own controls are usable in which situation. The
// situation is the sequencing state: the cyclic poll and the bus search
// change these controls (TeButton5's caption and the "В ЦИКЛЕ" box are the
// status polling's, the connection group the connection settings'); every
// other state leaves them as at start-up.
#pragma once

#include <cstdint>

class QWidget;

namespace telvar::v2 {

struct SituationControls {
  QWidget* TeGroupBox5 = nullptr;   // calibration, hidden in this window
  QWidget* TeGroupBox7 = nullptr;   // cable length and linear resistance
  QWidget* TeSComboBox2 = nullptr;  // model, over the grid's first value cell
  // The other groups whose handlers do nothing during a bus search.
  QWidget* TeGroupBox3 = nullptr;  // mode flags
  QWidget* TeGroupBox4 = nullptr;  // status request, "В ЦИКЛЕ", sound and alarm reset
  QWidget* TeGroupBox6 = nullptr;  // output logic
};

// While the poll runs no length, resistance, calibration or model change
// can start, and the grid's model text shows instead of the combo box.
// While the search runs every group whose handlers it ignores, and the
// model, cannot be changed: none of them is to show a value or a choice
// that was never written.
void ApplySituation(const SituationControls& controls, bool polling, bool searching);

}  // namespace telvar::v2
