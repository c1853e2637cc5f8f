// The status decoder: what a status reply shows (pure), which replies it
// rejects, and how a decoded block lands in the controls.
#include <QButtonGroup>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include "console_v2/status_decoder.h"
#include "link/bus_link.h"
#include "link/traffic_log.h"
#include "tests/console_v2/status_frames.h"
#include "tests/support/fake_port.h"
#include "widgets/status_grid.h"

using namespace telvar;
using namespace telvar::v2;
using namespace v2test;
using telvar::testing::FakePort;

Q_DECLARE_METATYPE(OutputLogic)
Q_DECLARE_METATYPE(v2test::Registers)

namespace {

const QString kAlarm = QStringLiteral("    ТРЕВОГА :  L = ");

QStringList Texts(const std::array<QString, kStatusRows>& row) { return QStringList(row.begin(), row.end()); }

// The controls a block is shown in, as the window has them.
struct Controls {
  Controls() : grid(kStatusRows) {
    controls.grid = &grid;
    controls.selectModelItem = [this](int item) { modelItem = item; };
    for (int loop = 0; loop < kLoopCount; ++loop) {
      pairs[loop].addButton(&closed[loop], 0);
      pairs[loop].addButton(&open[loop], 1);
      controls.outputPairs[loop] = &pairs[loop];
      resistance[loop].setRange(0.1, 1.0);
      resistance[loop].setDecimals(3);
      length[loop].setRange(0, 2000);
      controls.linearResistance[loop] = &resistance[loop];
      controls.cableLength[loop] = &length[loop];
    }
    controls.thermalCompensation = &thermal;
    controls.fixedCableLength = &fixedLength;
    controls.orsanPanel = &orsan;
    grid.SetLabels(StartupLabels());
  }
  OutputLogic Shown(int loop) const {
    return closed[loop].isChecked() ? OutputLogic::Closed
           : open[loop].isChecked() ? OutputLogic::Open
                                    : OutputLogic::None;
  }

  StatusGrid grid;
  std::array<QRadioButton, kLoopCount> closed, open;
  std::array<QButtonGroup, kLoopCount> pairs;
  std::array<QDoubleSpinBox, kLoopCount> resistance;
  std::array<QSpinBox, kLoopCount> length;
  QCheckBox thermal, fixedLength, orsan;
  int modelItem = -1;
  StatusControls controls;
};

}  // namespace

class TestStatusDecoder : public QObject {
  Q_OBJECT
 private slots:
  void layoutByModel_data();
  void layoutByModel();
  void rejected_data();
  void rejected();
  void stateTexts_data();
  void stateTexts();
  void configurationOfEveryModel();
  void shownInControls();
  void secondLoopModelAfterThirdLeavesNoTrace();
  void rejectedReplyChangesNothingAndLogsOneLine();
};

// Rows, labels and output pairs for each model; the worked example first.
void TestStatusDecoder::layoutByModel_data() {
  QTest::addColumn<QByteArray>("reply");
  QTest::addColumn<int>("modelItem");
  QTest::addColumn<QStringList>("labels");
  QTest::addColumn<QStringList>("values");
  QTest::addColumn<QList<OutputLogic>>("outputs");

  using O = OutputLogic;
  QTest::newRow("worked example, ТЕЛВАР-2")
      << WorkedExample() << 1 << QStringList{"  ТИП",
                                             "  РЕЖИМ РАБОТЫ",
                                             "  ШС1 :  СТАТУС",
                                             "  ШС2 :  СТАТУС",
                                             "  ИП1 :  СТАТУС",
                                             "  ИП2 :  СТАТУС",
                                             ""}
      << QStringList{"    ТЕЛВАР-2", "    С ФИКСАЦИЕЙ ТРЕВОГИ", "    НОРМА", kAlarm + "0293м",
                     "    НОРМА",    "    НЕИСПРАВНОСТЬ",       ""}
      << QList<O>{O::Closed, O::Open, O::None};

  // A ТЕЛВАР-1 never looks at the second and third loops.
  const Registers telvar1 =
      With(WorkedRegisters(), {{0, 19}, {3, 2}, {4, 1}, {5, 1}, {6, 6}, {7, 3}, {18, 1}, {19, 0}, {20, 0}, {21, 0}});
  QTest::newRow("ТЕЛВАР-1")
      << StatusReply(telvar1) << 0
      << QStringList{"  ТИП", "  РЕЖИМ РАБОТЫ", "  ШС1 :  СТАТУС", "  ИП1 :  СТАТУС", "  ИП2 :  СТАТУС", "", ""}
      << QStringList{"    ТЕЛВАР-1", "    БЕЗ ФИКСАЦИИ ТРЕВОГИ", "    ОБРЫВ", "    НЕИСПРАВНОСТЬ", "    НОРМА", "", ""}
      << QList<O>{O::Open, O::None, O::None};

  const Registers telvar3 = With(WorkedRegisters(), {{0, 21}, {3, 1}, {4, 3}, {5, 5}, {10, 7}, {20, 0x00FF}, {21, 1}});
  QTest::newRow("ТЕЛВАР-3") << StatusReply(telvar3) << 2
                            << QStringList{"  ТИП",           "  РЕЖИМ РАБОТЫ",  "  ШС1 :  СТАТУС", "  ШС2 :  СТАТУС",
                                           "  ШС3 :  СТАТУС", "  ИП1 :  СТАТУС", "  ИП2 :  СТАТУС"}
                            << QStringList{"    ТЕЛВАР-3",   "    -??",   "    КЗ",           "    НОРМА",
                                           kAlarm + "0007м", "    НОРМА", "    НЕИСПРАВНОСТЬ"}
                            << QList<O>{O::Closed, O::Open, O::Open};

  // The identifier is the sum of the two bytes of register 0.
  QTest::newRow("0x0A0B taken as ТЕЛВАР-3")
      << StatusReply(With(telvar3, {{0, 0x0A0B}})) << 2
      << QStringList{"  ТИП",           "  РЕЖИМ РАБОТЫ",  "  ШС1 :  СТАТУС", "  ШС2 :  СТАТУС",
                     "  ШС3 :  СТАТУС", "  ИП1 :  СТАТУС", "  ИП2 :  СТАТУС"}
      << QStringList{"    ТЕЛВАР-3",   "    -??",   "    КЗ",           "    НОРМА",
                     kAlarm + "0007м", "    НОРМА", "    НЕИСПРАВНОСТЬ"}
      << QList<O>{O::Closed, O::Open, O::Open};
}

void TestStatusDecoder::layoutByModel() {
  QFETCH(QByteArray, reply);
  QFETCH(int, modelItem);
  QFETCH(QStringList, labels);
  QFETCH(QStringList, values);
  QFETCH(QList<OutputLogic>, outputs);

  const StatusDecode decoded = DecodeStatusBlock(ToFrame(reply), uint16_t(reply.size()));
  QVERIFY2(decoded.block, qPrintable(decoded.rejection));
  QCOMPARE(ModelItem(decoded.block->modelId), modelItem);
  QCOMPARE(Texts(decoded.block->labels), labels);
  QCOMPARE(Texts(decoded.block->values), values);
  QCOMPARE(QList<OutputLogic>(decoded.block->outputs.begin(), decoded.block->outputs.end()), outputs);
}

void TestStatusDecoder::rejected_data() {
  QTest::addColumn<QByteArray>("reply");
  QTest::addColumn<int>("receivedCount");
  QTest::addColumn<QString>("line");

  const Registers worked = WorkedRegisters();
  QTest::newRow("byte count 58") << StatusReply(worked, 1, 58) << 65 << kLineBadLength;
  // The length is tested first.
  QTest::newRow("byte count 58 and id 0x0016")
      << StatusReply(With(worked, {{0, 0x0016}}), 1, 58) << 65 << kLineBadLength;
  QTest::newRow("id 0x0016") << StatusReply(With(worked, {{0, 0x0016}})) << 65 << kLineBadId;
  QTest::newRow("id 18") << StatusReply(With(worked, {{0, 18}})) << 65 << kLineBadId;
  QTest::newRow("id 0x0100 + 0x15 = 22") << StatusReply(With(worked, {{0, 0x0115}})) << 65 << kLineBadId;
  // A reply cut short: the rest of the buffer holds an earlier reply's bytes.
  QTest::newRow("received 30 of 65") << WorkedExample() << 30 << kLineBadLength;
  QTest::newRow("received 64 of 65") << WorkedExample() << 64 << kLineBadLength;
}

void TestStatusDecoder::rejected() {
  QFETCH(QByteArray, reply);
  QFETCH(int, receivedCount);
  QFETCH(QString, line);
  const StatusDecode decoded = DecodeStatusBlock(ToFrame(reply), uint16_t(receivedCount));
  QVERIFY(!decoded.block);
  QCOMPARE(decoded.rejection, line);
}

// The value text of one row for one changed register of a ТЕЛВАР-3 block.
void TestStatusDecoder::stateTexts_data() {
  QTest::addColumn<Registers>("regs");
  QTest::addColumn<int>("row");
  QTest::addColumn<QString>("text");

  const Registers base = With(WorkedRegisters(), {{0, 21}});
  QTest::newRow("alarm 37") << With(base, {{3, 5}, {8, 37}}) << 2 << kAlarm + "0037м";
  QTest::newRow("alarm 0") << With(base, {{3, 5}, {8, 0}}) << 2 << kAlarm + "0000м";
  QTest::newRow("alarm 12345") << With(base, {{3, 5}, {8, 12345}}) << 2 << kAlarm + "12345м";
  QTest::newRow("alarm distance of its own loop")
      << With(base, {{5, 5}, {8, 1}, {9, 2}, {10, 3}}) << 4 << kAlarm + "0003м";
  QTest::newRow("short circuit") << With(base, {{3, 1}}) << 2 << "    КЗ";
  QTest::newRow("open circuit") << With(base, {{3, 2}}) << 2 << "    ОБРЫВ";
  QTest::newRow("high byte ignored") << With(base, {{3, 0x0103}}) << 2 << "    НОРМА";
  QTest::newRow("loop code 4") << With(base, {{4, 4}}) << 3 << "    -??";
  QTest::newRow("loop code 0") << With(base, {{4, 0}}) << 3 << "    -??";
  QTest::newRow("loop code 6") << With(base, {{5, 6}}) << 4 << "    -??";
  QTest::newRow("detector fault") << With(base, {{6, 6}}) << 5 << "    НЕИСПРАВНОСТЬ";
  QTest::newRow("detector code 5") << With(base, {{7, 5}}) << 6 << "    -??";
  QTest::newRow("detector high byte ignored") << With(base, {{7, 0x0203}}) << 6 << "    НОРМА";
  QTest::newRow("latching 0x00FF") << With(base, {{21, 0x00FF}}) << 1 << "    С ФИКСАЦИЕЙ ТРЕВОГИ";
  QTest::newRow("latching 0x0100") << With(base, {{21, 0x0100}}) << 1 << "    БЕЗ ФИКСАЦИИ ТРЕВОГИ";
  QTest::newRow("latching 1") << With(base, {{21, 1}}) << 1 << "    -??";
}

void TestStatusDecoder::stateTexts() {
  QFETCH(Registers, regs);
  QFETCH(int, row);
  QFETCH(QString, text);
  const StatusDecode decoded = DecodeStatusBlock(ToFrame(StatusReply(regs)), 65);
  QVERIFY(decoded.block);
  QCOMPARE(decoded.block->values[row], text);
}

// Resistances, lengths and flags come from the block for every model, a
// ТЕЛВАР-1 included.
void TestStatusDecoder::configurationOfEveryModel() {
  for (uint16_t model : {19, 20, 21}) {
    const Registers regs = With(WorkedRegisters(), {{0, model},
                                                    {14, 0x3F00},
                                                    {15, 0},
                                                    {16, 0x3DCC},
                                                    {17, 0xCCCD},
                                                    {24, 0x0100},
                                                    {25, 2500},
                                                    {26, 7},
                                                    {27, 65535},
                                                    {28, 1},
                                                    {29, 0}});
    const StatusDecode decoded = DecodeStatusBlock(ToFrame(StatusReply(regs)), 65);
    QVERIFY(decoded.block);
    const StatusBlock& b = *decoded.block;
    QCOMPARE(b.linearResistance[0], 0.62f);
    QCOMPARE(b.linearResistance[1], 0.5f);
    QCOMPARE(b.linearResistance[2], 0.1f);
    QCOMPARE(b.cableLength[0], uint16_t(2500));
    QCOMPARE(b.cableLength[1], uint16_t(7));
    QCOMPARE(b.cableLength[2], uint16_t(65535));
    QVERIFY(!b.fixedCableLength);  // only the low byte counts
    QVERIFY(b.thermalCompensation);
    QVERIFY(!b.orsanPanel);
  }
}

void TestStatusDecoder::shownInControls() {
  Controls c;
  const StatusDecode decoded = DecodeStatusBlock(ToFrame(WorkedExample()), 65);
  QVERIFY(decoded.block);
  ShowStatusBlock(*decoded.block, c.controls);

  QCOMPARE(c.modelItem, 1);
  QCOMPARE(c.grid.Cell(1, 3), kAlarm + "0293м");
  QCOMPARE(c.grid.Cell(0, 6), QString());
  QCOMPARE(c.Shown(0), OutputLogic::Closed);
  QCOMPARE(c.Shown(1), OutputLogic::Open);
  QCOMPARE(c.Shown(2), OutputLogic::None);
  QCOMPARE(c.resistance[0].text(), QStringLiteral("0.620"));
  QCOMPARE(c.resistance[1].value(), 0.5);
  QCOMPARE(c.resistance[2].value(), 0.62);
  QCOMPARE(c.length[0].value(), 1000);
  QCOMPARE(c.length[1].value(), 500);
  QCOMPARE(c.length[2].value(), 0);
  QVERIFY(c.fixedLength.isChecked());
  QVERIFY(!c.thermal.isChecked());
  QVERIFY(c.orsan.isChecked());

  // The spin edits keep their bounds.
  const Registers outOfRange = With(WorkedRegisters(), {{12, 0x3DCC}, {13, 0xCCCC}, {14, 0x4000}, {15, 0}, {25, 2001}});
  ShowStatusBlock(*DecodeStatusBlock(ToFrame(StatusReply(outOfRange)), 65).block, c.controls);
  QCOMPARE(c.resistance[0].text(), QStringLiteral("0.100"));
  QCOMPARE(c.resistance[1].value(), 1.0);
  QCOMPARE(c.length[0].value(), 2000);
}

void TestStatusDecoder::secondLoopModelAfterThirdLeavesNoTrace() {
  Controls c;
  const Registers telvar3 = With(WorkedRegisters(), {{0, 21}, {20, 0}});
  ShowStatusBlock(*DecodeStatusBlock(ToFrame(StatusReply(telvar3)), 65).block, c.controls);
  QCOMPARE(c.Shown(2), OutputLogic::Closed);
  QCOMPARE(c.grid.Cell(0, 6), QStringLiteral("  ИП2 :  СТАТУС"));

  QSignalSpy closedToggled(&c.closed[2], &QAbstractButton::toggled);
  ShowStatusBlock(*DecodeStatusBlock(ToFrame(StatusReply(With(telvar3, {{0, 0x0014}}))), 65).block, c.controls);
  QCOMPARE(c.modelItem, 1);
  QCOMPARE(c.grid.Cell(0, 6), QString());
  QCOMPARE(c.grid.Cell(1, 6), QString());
  QCOMPARE(c.Shown(2), OutputLogic::None);
  QCOMPARE(closedToggled.count(), 1);  // cleared, not selected
  // The pair is exclusive again afterwards.
  c.open[2].setChecked(true);
  c.closed[2].setChecked(true);
  QVERIFY(!c.open[2].isChecked());
}

void TestStatusDecoder::rejectedReplyChangesNothingAndLogsOneLine() {
  Controls c;
  FakePort port;
  TrafficLog log;
  BusLink link(port, log);
  const QByteArray worked = WorkedExample();
  link.frame = ToFrame(worked);
  link.receivedCount = 65;
  QCOMPARE(DecodeStatusReply(link, c.controls), uint8_t(kReplyStatus));
  const QStringList before = log.Lines();

  // A short reply over the worked example: its first bytes are a good
  // reply's, the rest would be the old block's.
  link.frame[2] = 60;
  link.frame[3] = 0;
  link.frame[4] = 21;
  link.receivedCount = 20;
  QCOMPARE(DecodeStatusReply(link, c.controls), uint8_t(kReplyRejected));
  QCOMPARE(log.Lines(), before + QStringList{kLineBadLength});
  QCOMPARE(c.modelItem, 1);
  QCOMPARE(c.grid.Cell(0, 6), QString());
  QCOMPARE(c.Shown(2), OutputLogic::None);
}

QTEST_MAIN(TestStatusDecoder)
#include "tst_status_decoder.moc"
