// One window of either program under wine, driven as a technician drives it,
// and the cases both windows share: the port list, a status read, a bus
// search, the drawn fields and a missing port. Each check is a void
// function whose QCOMPARE returns from it; the slot that calls it ends there
// too, as QtTest has recorded the failure.
#pragma once

#include <memory>

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSignalSpy>
#include <QtTest>

#include "link/bus_link.h"
#include "link/traffic_log.h"
#include "search/bus_search.h"
#include "tests/windows/consoles/wine_bench.h"
#include "widgets/message_boxes.h"
#include "widgets/status_grid.h"

namespace telvar::wine {

template <typename Form>
class WineWindow {
 public:
  // The window shown; every question it would ask is answered No.
  void Open() {
    SetDialogHook([](QMessageBox::Icon, const QString&, QMessageBox::StandardButtons) { return QMessageBox::No; });
    form_ = std::make_unique<Form>();
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
  }

  void Close() {
    form_.reset();
    SetDialogHook({});
  }

  Form& form() { return *form_; }

  template <typename T = QWidget>
  T* Find(const char* name) {
    return form_->template findChild<T*>(QString::fromLatin1(name));
  }

  QStringList Memo() const { return form_->Controls().TeMemo1->toPlainText().split(QLatin1Char('\n')); }

  // A click on the button, then the end of the transaction it started.
  bool ClickAndWait(const char* button) {
    QSignalSpy ended(&form_->Link(), &BusLink::transactionEnded);
    QTest::mouseClick(Find<QAbstractButton>(button), Qt::LeftButton);
    return ended.wait(3000);
  }

  // The window's own list, from HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, rebuilt
  // by a press on the menu bar.
  void PortListFromRegistry() {
    ConnectionSettings& c = form_->Connection();
    QCOMPARE(c.PortEntries(), (QStringList{"COM5", "COM9"}));
    QCOMPARE(c.TickedPortEntry(), 0);
    PressMenuBar(*form_);
    QCOMPARE(c.PortEntries(), (QStringList{"COM5", "COM9"}));
    QCOMPARE(c.PortEntryNames(), (QList<QByteArray>{"COM5", "COM9"}));
    QVERIFY(PickPort(c, "COM5"));
    QCOMPARE(c.TickedPortEntry(), 0);
  }

  // "ЗАПРОС ПАРАМЕТРОВ": one request, answered, logged, and the grid's
  // value column decoded as values.
  void StatusRead(const QString& request, const QStringList& values) {
    const qsizetype before = SimLog().size();
    QVERIFY(ClickAndWait("TeButton5"));
    QCOMPARE(Memo().last(), kLineOk);
    const QList<SimLine> lines = SimLog().mid(before);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines[0].request, request);
    QCOMPARE(lines[0].outcome, QStringLiteral("ok"));
    QCOMPARE(Memo().first(), QStringLiteral("TX : ") + lines[0].request + QLatin1Char(' '));
    auto* grid = Find<StatusGrid>("StatusGrid");
    for (int row = 0; row < values.size(); ++row) QCOMPARE(grid->Cell(1, row), values[row]);
  }

  // Search > Start at 100 ms a step walks up from address 1 to the device
  // at 5 and names its model.
  void SearchFindsDevice(const QString& model) {
    const qsizetype before = SimLog().size();
    BusSearch& search = form_->Search();
    search.DelayItem[0]->trigger();
    search.CustomItem5->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(search.CustomItem5->text(), QStringLiteral("Start"), 10000);
    const QList<SimLine> lines = SimLog().mid(before);
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[4].request, Frame({0x05, 0x03, 0x00, 0x00, 0x00, 0x01}));
    QCOMPARE(lines[4].outcome, QStringLiteral("ok"));
    const QString found = QStringLiteral("   : ОБНАРУЖЕН ПРИБОР <%1> ПО АДРЕСУ 005").arg(model);
    QVERIFY2(Memo().contains(found), qPrintable(Memo().join('\n')));
    QCOMPARE(form_->Connection().TeSpinEdit1->value(), 5);
    QCOMPARE(form_->Link().deviceAddress, uint8_t(5));
  }

  // Every spin edit the window shows has its text drawn; shown is one that
  // must be among them.
  void SpinEditsAreDrawn(const char* shown) {
    QVERIFY(Find<QAbstractSpinBox>(shown)->isVisible());
    QCOMPARE(BlankSpinEdits(*form_), QStringList());
  }

  // The check above tells a blank field from a drawn one: the edit named
  // with its text taken away (the spin box not told) shows no pixel of the
  // text's colour.
  void BlankFieldIsTold(const char* name) {
    QAbstractSpinBox* edit = Find<QAbstractSpinBox>(name);
    auto* line = edit->findChild<QLineEdit*>();
    QVERIFY(line);
    const QSignalBlocker quiet(line);
    const QString shown = line->text();
    QVERIFY(TextPixels(edit) >= kTextPixelsPerCharacter * int(shown.size()));
    line->setText(QString());
    const int blank = TextPixels(edit);
    const bool listed = !BlankSpinEdits(*form_).isEmpty();
    line->setText(shown);
    qInfo("%s \"%s\": %d pixels of the text's colour; blank: %d", qPrintable(edit->objectName()), qPrintable(shown),
          TextPixels(edit), blank);
    QCOMPARE(blank, 0);
    QVERIFY(listed);
  }

  // A port in the list whose device is gone: told, and nothing sent.
  void MissingPort() {
    const qsizetype before = SimLog().size();
    QVERIFY(PickPort(form_->Connection(), "COM9"));
    QTest::mouseClick(Find<QAbstractButton>("TeButton5"), Qt::LeftButton);
    QTRY_COMPARE(Memo().last(), kLinePortError + QStringLiteral("COM9"));
    QTest::qWait(200);
    QCOMPARE(SimLog().size(), before);
  }

 private:
  std::unique_ptr<Form> form_;
};

}  // namespace telvar::wine
