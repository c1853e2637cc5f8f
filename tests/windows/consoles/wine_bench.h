// What the windows' tests under wine share: the simulator's log that
// run_console_test.sh hands over, the port picked from the Connection menu
// as a technician picks it, and whether a field's text is drawn.
#pragma once

#include <QAbstractSpinBox>
#include <QAction>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStringList>
#include <QtTest>

#include "serial/connection_settings.h"
#include "tests/support/crc.h"

namespace telvar::wine {

// One line of telvar_sim's log: the request, the reply and the outcome
// ("ok", "not-mine", ...), the bytes in hex.
struct SimLine {
  QString request;
  QString reply;
  QString outcome;
};

// The log named by TELVAR_SIM_LOG, a Linux path: the prefix's drive Z: is
// the Linux root.
inline QList<SimLine> SimLog() {
  QList<SimLine> lines;
  QFile file(QStringLiteral("Z:") + qEnvironmentVariable("TELVAR_SIM_LOG"));
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return lines;
  for (const QByteArray& row : file.readAll().split('\n')) {
    const QList<QByteArray> fields = row.split('\t');
    if (fields.size() == 4) {
      lines.append({QString::fromLatin1(fields[1]), QString::fromLatin1(fields[2]), QString::fromLatin1(fields[3])});
    }
  }
  return lines;
}

// A frame as the simulator logs it: "F7 03 00 00 00 1E 91 45".
inline QString Frame(std::initializer_list<int> bytes) {
  return QString::fromLatin1(testing::BytesWithCrc(bytes).toHex(' ').toUpper());
}

// A press on the empty end of the menu bar, which rebuilds the port list.
inline void PressMenuBar(QMainWindow& window) {
  QMenuBar* bar = window.menuBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() - 4, bar->height() / 2));
}

// The entry of the Connection > Port menu that names port; false when there
// is none.
inline bool PickPort(ConnectionSettings& connection, const QString& port) {
  for (QAction* entry : connection.PORT1->actions()) {
    if (entry->text() == port) {
      entry->trigger();
      return true;
    }
  }
  return false;
}

// How many pixels of the text's colour an edit shows inside its text area.
// A glyph of the window's font is some tens of them; a field whose text is
// not drawn (wine's own font engine leaves line edits blank) shows none.
inline int TextPixels(QWidget* edit) {
  QLineEdit* line = qobject_cast<QLineEdit*>(edit);
  if (!line) line = edit->findChild<QLineEdit*>();
  if (!line) return -1;
  const QImage image = edit->grab().toImage();
  const qreal scale = image.devicePixelRatio();
  const QRect area(line->mapTo(edit, QPoint(0, 0)) * scale, line->size() * scale);
  const QColor text = line->palette().color(QPalette::Text);
  const QColor base = line->palette().color(QPalette::Base);
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor pixel = image.pixelColor(x, y);
      // Nearer the text's colour than the background's.
      const auto distance = [&pixel](const QColor& c) {
        return qAbs(pixel.red() - c.red()) + qAbs(pixel.green() - c.green()) + qAbs(pixel.blue() - c.blue());
      };
      if (distance(text) < distance(base) / 2) ++count;
    }
  }
  return count;
}

// At least this many per character: a digit of the window's font has some
// tens of them.
constexpr int kTextPixelsPerCharacter = 8;

// Every visible spin edit of window shows its text: the names of those
// that do not, with their text and the pixels counted.
inline QStringList BlankSpinEdits(QWidget& window) {
  QStringList blank;
  for (QAbstractSpinBox* edit : window.findChildren<QAbstractSpinBox*>()) {
    if (!edit->isVisible()) continue;
    const int pixels = TextPixels(edit);
    if (edit->text().isEmpty() || pixels < kTextPixelsPerCharacter * int(edit->text().size())) {
      blank << QStringLiteral("%1 \"%2\": %3 px").arg(edit->objectName(), edit->text()).arg(pixels);
    }
  }
  return blank;
}

}  // namespace telvar::wine
