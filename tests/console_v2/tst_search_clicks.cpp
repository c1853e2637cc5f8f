// The window of telvar_v210 during a bus search, against the device
// simulator: what the user touches then changes neither the search nor the
// device, and afterwards the controls show the device's values again. The
// device lies far from address 1, so that a moved counter would pass it.
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include "link/traffic_log.h"
#include "search/bus_search.h"
#include "tests/console_v2/sim_line.h"
#include "tests/support/crc.h"

using namespace telvar;
using namespace v2test;

namespace {

constexpr int kDevice = 60;
constexpr int kFirstAsked = 51;

QString SearchRequest(int address) { return hexText(BytesWithCrc({address, 3, 0, 0, 0, 1})); }

// The controls whose handlers do nothing while the search runs.
const char* const kIgnoredDuringSearch[] = {"TeSComboBox1", "TeSpinEdit1", "TeSpinEdit2",  "TeButton1",
                                            "TeGroupBox3",  "TeGroupBox4", "TeGroupBox6",  "TeGroupBox7",
                                            "TeButton5",    "TeButton3",   "TeButton4",    "A0_CBox",
                                            "A1_CBox",      "B0_CBox",     "TeSComboBox2", "B0_Button"};

}  // namespace

class TestSearchClicks : public QObject {
  Q_OBJECT
 private slots:
  void searchIgnoresWhatTheUserTouches_data();
  void searchIgnoresWhatTheUserTouches();

 private:
  Dialogs dialogs_;
};

void TestSearchClicks::searchIgnoresWhatTheUserTouches_data() {
  QTest::addColumn<QString>("touch");
  QTest::newRow("address typed into TeSpinEdit1") << "address";
  QTest::newRow("rate picked in TeSComboBox1") << "rate";
  QTest::newRow("new address and -->") << "new address";
}

void TestSearchClicks::searchIgnoresWhatTheUserTouches() {
  QFETCH(QString, touch);
  SimLine sim({"--device", QString("%1:20").arg(kDevice)});
  QVERIFY(sim.Ready());
  Window w(sim.Path(), sim.Dir());
  BusSearch& search = w.form.Search();
  ConnectionSettings& connection = w.form.Connection();
  search.DelayItem[0]->trigger();  // 100ms
  search.CustomItem5->trigger();
  // The walk from address 1 is the search's own test; here it starts
  // shortly before the device, before its first step.
  w.Link().deviceAddress = kFirstAsked - 1;
  QTRY_VERIFY(w.Link().deviceAddress >= kFirstAsked + 2);

  for (const char* name : kIgnoredDuringSearch) QVERIFY2(!w.Find(name)->isEnabled(), name);
  QVERIFY(search.CustomItem5->isEnabled());
  if (touch == "address") {
    QTest::mouseClick(connection.TeSpinEdit1, Qt::LeftButton);
    QTest::keyClicks(connection.TeSpinEdit1, "200");
    QTest::keyClick(connection.TeSpinEdit1, Qt::Key_Return);
    QCOMPARE(connection.TeSpinEdit1->value(), 247);
  } else if (touch == "rate") {
    QTest::keyClick(connection.TeSComboBox1, Qt::Key_End);
    QCOMPARE(connection.TeSComboBox1->currentIndex(), 3);
    // A pick that reaches the list all the same is taken back at once.
    Window::Pick(connection.TeSComboBox1, 5);
    QCOMPARE(connection.TeSComboBox1->currentIndex(), 3);
  } else {
    QTest::keyClicks(connection.TeSpinEdit2, "9");
    QTest::mouseClick(connection.TeButton1, Qt::LeftButton);
    QCOMPARE(connection.TeSpinEdit2->value(), 247);
  }
  QVERIFY(w.Link().deviceAddress < kDevice);
  QTRY_COMPARE_WITH_TIMEOUT(search.CustomItem5->text(), QStringLiteral("Start"), 5000);

  // Every address from the first asked up to the device, each once, and
  // nothing written.
  QStringList expected;
  for (int a = kFirstAsked; a <= kDevice; ++a) expected << SearchRequest(a);
  QCOMPARE(sim.Requests(), expected);
  QCOMPARE(sim.Lines().last().reply, hexText(BytesWithCrc({kDevice, 3, 2, 0, 20})));
  QCOMPARE(w.Memo(), (QStringList{"TX : " + SearchRequest(kDevice) + " ",
                                  "RX : " + hexText(BytesWithCrc({kDevice, 3, 2, 0, 20})) + " ",
                                  "   : ОБНАРУЖЕН ПРИБОР <ТЕЛВАР-2 - V2> ПО АДРЕСУ 060", kLineOk}));

  // The device's values on show, everything usable again.
  QCOMPARE(connection.TeSpinEdit1->value(), kDevice);
  QCOMPARE(connection.TeLabel5->text(), QStringLiteral("АДРЕС ПРИБОРА - 060"));
  QCOMPARE(connection.StatusPanel[2]->text(), QStringLiteral("DEVICE : A = 060; Baud = 9600;"));
  QCOMPARE(connection.TeSComboBox1->currentText(), QStringLiteral("9600"));
  QCOMPARE(connection.TeSpinEdit2->value(), 247);
  for (const char* name : kIgnoredDuringSearch) {
    if (QString(name) != "TeSComboBox2") QVERIFY2(w.Find(name)->isEnabled(), name);
  }
  QVERIFY(w.Find("TeSComboBox2")->isEnabled());

  // The rate picked during the search goes to the device when picked now.
  dialogs_.answer = QMessageBox::No;
  Window::Pick(connection.TeSComboBox1, 5);
  QVERIFY(w.WaitForEnds(1));
  QCOMPARE(sim.Requests().last(), hexText(BytesWithCrc({kDevice, 6, 0, 2, 0, 6})));
  QCOMPARE(w.Memo().last(), kLineOk);
  QCOMPARE(connection.StatusPanel[2]->text(), QStringLiteral("DEVICE : А = 60; Baud = 19200"));
}

QTEST_MAIN(TestSearchClicks)
#include "tst_search_clicks.moc"
