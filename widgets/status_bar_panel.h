// A panel of the status bar: a sunken label at least as wide as its least
// width and, where it may grow, as wide as its text. A panel may hold room for
// texts it shows later, so that they never find it too narrow. An eliding
// panel given less room than its text needs shows the text elided in the
// middle, while text() stays whole.
#pragma once

#include <QLabel>
#include <QStringList>

namespace telvar {

class StatusBarPanel : public QLabel {
 public:
  StatusBarPanel(int leastWidth, bool elides, QWidget* parent);

  // Keeps room for the widest of texts from now on.
  void Reserve(const QStringList& texts);
  // The width the whole text needs, whatever width the panel has.
  int WholeTextWidth() const;
  // The text as it shows at the panel's present width.
  QString ShownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int TextWidth(const QString& text) const;
  bool elides_;
};

}  // namespace telvar
