// The two radio buttons that show one output's logic in the alarm state:
// the closed one and the open one, of which at most one is checked.
#pragma once

class QButtonGroup;
class QObject;
class QRadioButton;

namespace telvar {

// What a pair shows: neither button (there is no such output), the closed
// one or the open one. Closed and Open are the buttons' ids in the group.
enum class OutputLogic { None = -1, Closed = 0, Open = 1 };

// Groups closed and open, exclusive, with the ids of OutputLogic.
QButtonGroup* MakeOutputPair(QRadioButton* closed, QRadioButton* open, QObject* owner);

// Checks the pair's button, or clears both.
void CheckOutputPair(QButtonGroup* pair, OutputLogic logic);

}  // namespace telvar
