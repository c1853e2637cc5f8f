#include "widgets/output_pair.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QRadioButton>

namespace telvar {

QButtonGroup* MakeOutputPair(QRadioButton* closed, QRadioButton* open, QObject* owner) {
  auto* pair = new QButtonGroup(owner);
  pair->addButton(closed, static_cast<int>(OutputLogic::Closed));
  pair->addButton(open, static_cast<int>(OutputLogic::Open));
  return pair;
}

void CheckOutputPair(QButtonGroup* pair, OutputLogic logic) {
  if (logic == OutputLogic::None) {
    // An exclusive group never lets its last button go.
    pair->setExclusive(false);
    for (QAbstractButton* each : pair->buttons()) each->setChecked(false);
    pair->setExclusive(true);
    return;
  }
  if (QAbstractButton* each = pair->button(static_cast<int>(logic))) each->setChecked(true);
}

}  // namespace telvar
