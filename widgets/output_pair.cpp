#include "console_v2/output_pair.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QRadioButton>

namespace telvar {

QButtonGroup* MakeOutputPair(QRadioButton* closed, QRadioButton* open, QObject* owner) {
  auto* pair = new QButtonGroup(owner);
  pair->addButton(closed, static_cast<int>(OutputPairButton::Closed));
  pair->addButton(open, static_cast<int>(OutputPairButton::Open));
  return pair;
}

void CheckOutputPair(QButtonGroup* pair, OutputPairButton button) {
  if (button == OutputPairButton::Neither) {
    // An exclusive group never lets its last button go.
    pair->setExclusive(false);
    for (QAbstractButton* each : pair->buttons()) each->setChecked(false);
    pair->setExclusive(true);
    return;
  }
  if (QAbstractButton* each = pair->button(static_cast<int>(button))) each->setChecked(true);
}

}  // namespace telvar
