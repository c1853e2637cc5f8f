// The two radio buttons that show one output's logic in the alarm state:
// the closed one and the open one, of which at most one is checked.
#pragma once

class QButtonGroup;
class QObject;
class QRadioButton;

namespace telvar {

enum class OutputPairButton { Neither = -1, Closed = 0, Open = 1 };

// Groups closed and open, exclusive, with the ids of OutputPairButton.
QButtonGroup* MakeOutputPair(QRadioButton* closed, QRadioButton* open, QObject* owner);

// Checks the pair's button, or clears both.
void CheckOutputPair(QButtonGroup* pair, OutputPairButton button);

}  // namespace telvar
