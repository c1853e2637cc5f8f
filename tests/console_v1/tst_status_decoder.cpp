// The first-generation status block: which replies are refused, and what the
// grid and the output logic buttons show for the ones that are taken.
#include <QLocale>
#include <QtTest>

#include "console_v1/status_decoder.h"
#include "link/traffic_log.h"

using namespace telvar;
using namespace telvar::v1;

Q_DECLARE_METATYPE(telvar::OutputLogic)

namespace {

// A status reply from address 247 with the given registers 0..11, as the
// frame buffer holds it after the receive step; returns the received count.
struct Reply {
  std::array<uint16_t, 12> regs{};
  uint8_t byteCount = kStatusByteCount;
  FrameBuffer frame{};

  uint16_t Build() {
    frame[0] = 247;
    frame[1] = 3;
    frame[2] = byteCount;
    for (int k = 0; k < 12; ++k) {
      frame[3 + 2 * k] = uint8_t(regs[k] >> 8);
      frame[4 + 2 * k] = uint8_t(regs[k]);
    }
    AppendCrc(frame, 27);
    return 29;
  }
};

Reply Block(uint16_t model) {
  Reply r;
  r.regs[0] = model;
  r.regs[3] = 0x0404;
  r.regs[7] = 0x52B8;  // 0.62 as the device keeps it
  r.regs[8] = 0x1E3F;
  r.regs[9] = 0x52B8;
  r.regs[10] = 0x1E3F;
  return r;
}

}  // namespace

class TestStatusDecoder : public QObject {
  Q_OBJECT
 private slots:
  void rejectsReply_data();
  void rejectsReply();
  void loopStates_data();
  void loopStates();
  void latchingMode_data();
  void latchingMode();
  void linearResistance_data();
  void linearResistance();
  void resistanceIgnoresLocale();
  void layoutByModel_data();
  void layoutByModel();
  void outputLogic_data();
  void outputLogic();
  void readTimeout_data();
  void readTimeout();
};

void TestStatusDecoder::rejectsReply_data() {
  QTest::addColumn<int>("model");
  QTest::addColumn<int>("byteCount");
  QTest::addColumn<int>("receivedCount");  // -1: as built
  QTest::addColumn<QString>("line");
  QTest::newRow("model 0x0103 is not ТЕЛВАР-2(EX)") << 0x0103 << 24 << -1 << kLineBadId;
  QTest::newRow("model 0x0300") << 0x0300 << 24 << -1 << kLineBadId;
  QTest::newRow("second generation model 20") << 20 << 24 << -1 << kLineBadId;
  QTest::newRow("model 0") << 0 << 24 << -1 << kLineBadId;
  QTest::newRow("one-register reply") << 3 << 2 << 7 << kLineBadLength;
  QTest::newRow("byte count 26") << 3 << 26 << -1 << kLineBadLength;
  QTest::newRow("length tested before model") << 0x0103 << 2 << -1 << kLineBadLength;
  QTest::newRow("fewer bytes than the byte count") << 3 << 24 << 27 << kLineBadLength;
  QTest::newRow("more bytes than the byte count") << 4 << 24 << 31 << kLineBadLength;
  QTest::newRow("nothing past the byte count") << 4 << 24 << 3 << kLineBadLength;
}

void TestStatusDecoder::rejectsReply() {
  QFETCH(int, model);
  QFETCH(int, byteCount);
  QFETCH(int, receivedCount);
  QFETCH(QString, line);
  Reply r = Block(uint16_t(model));
  r.byteCount = uint8_t(byteCount);
  const uint16_t built = r.Build();
  const StatusDecode d = DecodeStatusBlock(r.frame, receivedCount < 0 ? built : uint16_t(receivedCount));
  QVERIFY(!d.block);
  QCOMPARE(d.rejection, line);
}

void TestStatusDecoder::loopStates_data() {
  QTest::addColumn<int>("reg3");
  QTest::addColumn<int>("reg4");
  QTest::addColumn<int>("reg5");
  QTest::addColumn<QString>("loop1");
  QTest::addColumn<QString>("loop2");
  QTest::newRow("0x0408: open and normal") << 0x0408 << 0 << 0 << "    ОБРЫВ"
                                           << "    НОРМА";
  QTest::newRow("0x0003: unknown code") << 0x0003 << 0 << 0 << "    -??"
                                        << "    -??";
  QTest::newRow("short circuit, alarm on ШС2") << 0x0201 << 7 << 150 << "    КЗ"
                                               << "    ТРЕВОГА :  L = 0150м";
  QTest::newRow("alarm at 65535 m") << 0x0802 << 65535 << 0 << "    ТРЕВОГА :  L = 65535м"
                                    << "    ОБРЫВ";
  QTest::newRow("alarm at 0 m") << 0x0002 << 0 << 0 << "    ТРЕВОГА :  L = 0000м"
                                << "    -??";
  QTest::newRow("distance of the other loop") << 0x0202 << 5 << 1234 << "    ТРЕВОГА :  L = 0005м"
                                              << "    ТРЕВОГА :  L = 1234м";
  QTest::newRow("code 255") << 0xFF10 << 0 << 0 << "    -??"
                            << "    -??";
}

void TestStatusDecoder::loopStates() {
  QFETCH(int, reg3);
  QFETCH(int, reg4);
  QFETCH(int, reg5);
  QFETCH(QString, loop1);
  QFETCH(QString, loop2);
  Reply r = Block(kModelTwoLoops);
  r.regs[3] = uint16_t(reg3);
  r.regs[4] = uint16_t(reg4);
  r.regs[5] = uint16_t(reg5);
  const StatusDecode d = DecodeStatusBlock(r.frame, r.Build());
  QVERIFY(d.block);
  QCOMPARE(d.block->values[2], loop1);
  QCOMPARE(d.block->values[3], loop2);
}

void TestStatusDecoder::latchingMode_data() {
  QTest::addColumn<int>("reg11");
  QTest::addColumn<QString>("text");
  QTest::newRow("0") << 0x0300 << "    С ФИКСАЦИЕЙ ТРЕВОГИ";
  QTest::newRow("1") << 0x0001 << "    БЕЗ ФИКСАЦИИ ТРЕВОГИ";
  QTest::newRow("2") << 0x0002 << "    -??";
}

void TestStatusDecoder::latchingMode() {
  QFETCH(int, reg11);
  QFETCH(QString, text);
  Reply r = Block(kModelOneLoop);
  r.regs[11] = uint16_t(reg11);
  const StatusDecode d = DecodeStatusBlock(r.frame, r.Build());
  QCOMPARE(d.block->values[1], text);
}

void TestStatusDecoder::linearResistance_data() {
  QTest::addColumn<int>("reg7");
  QTest::addColumn<int>("reg8");
  QTest::addColumn<QString>("text");
  QTest::newRow("0.620, least significant byte first") << 0x52B8 << 0x1E3F << "    0.620";
  QTest::newRow("the write's byte order read back") << 0x3F1E << 0xB852 << "    395390713856.000";
  QTest::newRow("1.000") << 0x0000 << 0x803F << "    1.000";
  QTest::newRow("-0.5") << 0x0000 << 0x00BF << "    -0.500";
  QTest::newRow("zero") << 0x0000 << 0x0000 << "    0.000";
  QTest::newRow("NaN") << 0x0000 << 0xC07F << "    НЕ ЧИСЛО";
  QTest::newRow("signalling NaN") << 0x0100 << 0x807F << "    НЕ ЧИСЛО";
  QTest::newRow("+infinity") << 0x0000 << 0x807F << "    +БЕСКОНЕЧНОСТЬ";
  QTest::newRow("-infinity") << 0x0000 << 0x80FF << "    -БЕСКОНЕЧНОСТЬ";
}

void TestStatusDecoder::linearResistance() {
  QFETCH(int, reg7);
  QFETCH(int, reg8);
  QFETCH(QString, text);
  // ШС1 of a one-loop device (row 3) and ШС2 of a two-loop device (row 5).
  Reply one = Block(kModelOneLoop);
  one.regs[7] = uint16_t(reg7);
  one.regs[8] = uint16_t(reg8);
  QCOMPARE(DecodeStatusBlock(one.frame, one.Build()).block->values[3], text);
  Reply two = Block(kModelTwoLoops);
  two.regs[9] = uint16_t(reg7);
  two.regs[10] = uint16_t(reg8);
  const StatusDecode d = DecodeStatusBlock(two.frame, two.Build());
  QCOMPARE(d.block->values[5], text);
  QCOMPARE(d.block->values[4], QStringLiteral("    0.620"));
}

void TestStatusDecoder::resistanceIgnoresLocale() {
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  const char* savedC = setlocale(LC_NUMERIC, nullptr);
  const std::string savedNumeric = savedC ? savedC : "C";
  setlocale(LC_NUMERIC, "ru_RU.UTF-8");  // may be missing; then only Qt's default changes
  Reply r = Block(kModelOneLoop);
  const QString text = DecodeStatusBlock(r.frame, r.Build()).block->values[3];
  setlocale(LC_NUMERIC, savedNumeric.c_str());
  QLocale::setDefault(saved);
  QCOMPARE(text, QStringLiteral("    0.620"));
}

void TestStatusDecoder::layoutByModel_data() {
  QTest::addColumn<int>("model");
  QTest::addColumn<QStringList>("labels");
  QTest::addColumn<QStringList>("values");
  QTest::newRow("ТЕЛВАР-2(EX)") << 3 << QStringList{"  ТИП",           "  РЕЖИМ РАБОТЫ",      "  ШС1 :  СТАТУС",
                                                    "  ШС2 :  СТАТУС", "  ШС1 :  ПОГОННОЕ R", "  ШС2 :  ПОГОННОЕ R"}
                                << QStringList{"    ТЕЛВАР-2(EX)", "    С ФИКСАЦИЕЙ ТРЕВОГИ",
                                               "    НОРМА",        "    НОРМА",
                                               "    0.620",        "    1.000"};
  QTest::newRow("ТЕЛВАР-1(EX)") << 4
                                << QStringList{"  ТИП", "  РЕЖИМ РАБОТЫ", "  ШС1 :  СТАТУС", "  ШС1 :  ПОГОННОЕ R", "",
                                               ""}
                                << QStringList{
                                       "    ТЕЛВАР-1(EX)", "    С ФИКСАЦИЕЙ ТРЕВОГИ", "    НОРМА", "    0.620", "", ""};
}

void TestStatusDecoder::layoutByModel() {
  QFETCH(int, model);
  QFETCH(QStringList, labels);
  QFETCH(QStringList, values);
  Reply r = Block(uint16_t(model));
  r.regs[9] = 0x0000;  // ШС2: 1.0
  r.regs[10] = 0x803F;
  const StatusDecode d = DecodeStatusBlock(r.frame, r.Build());
  QVERIFY(d.block);
  QVERIFY(d.rejection.isEmpty());
  for (int row = 0; row < kStatusRows; ++row) {
    QCOMPARE(d.block->labels[row], labels[row]);
    QCOMPARE(d.block->values[row], values[row]);
  }
}

void TestStatusDecoder::outputLogic_data() {
  QTest::addColumn<int>("model");
  QTest::addColumn<int>("reg11");
  QTest::addColumn<telvar::OutputLogic>("loop1");
  QTest::addColumn<telvar::OutputLogic>("loop2");
  using L = OutputLogic;
  QTest::newRow("two loops, 0x02") << 3 << 0x0200 << L::Open << L::Closed;
  QTest::newRow("two loops, 0x01") << 3 << 0x0100 << L::Closed << L::Open;
  QTest::newRow("two loops, 0x00") << 3 << 0x0001 << L::Open << L::Open;
  QTest::newRow("two loops, 0x07 acts as 0x03") << 3 << 0x0700 << L::Closed << L::Closed;
  QTest::newRow("one loop, 0x02: bit 1 not looked at") << 4 << 0x0200 << L::Open << L::None;
  QTest::newRow("one loop, 0x03") << 4 << 0x0300 << L::Closed << L::None;
  QTest::newRow("one loop, low byte ignored") << 4 << 0x00FF << L::Open << L::None;
}

void TestStatusDecoder::outputLogic() {
  QFETCH(int, model);
  QFETCH(int, reg11);
  QFETCH(telvar::OutputLogic, loop1);
  QFETCH(telvar::OutputLogic, loop2);
  Reply r = Block(uint16_t(model));
  r.regs[11] = uint16_t(reg11);
  const StatusDecode d = DecodeStatusBlock(r.frame, r.Build());
  QCOMPARE(d.block->loop1, loop1);
  QCOMPARE(d.block->loop2, loop2);
}

void TestStatusDecoder::readTimeout_data() {
  QTest::addColumn<int>("baudIndex");
  QTest::addColumn<int>("ms");
  QTest::newRow("1200") << 0 << 3000;
  QTest::newRow("2400") << 1 << 1500;
  QTest::newRow("4800") << 2 << 700;
  QTest::newRow("9600") << 3 << 350;
  QTest::newRow("57600") << 7 << 350;
}

void TestStatusDecoder::readTimeout() {
  QFETCH(int, baudIndex);
  QFETCH(int, ms);
  QCOMPARE(ReadTimeoutMs(baudIndex), ms);
}

QTEST_APPLESS_MAIN(TestStatusDecoder)
#include "tst_status_decoder.moc"
