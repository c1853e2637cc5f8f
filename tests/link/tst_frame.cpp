// Frames, CRC and the byte and number texts.
#include <QtTest>

#include "link/frame.h"

using namespace telvar;

Q_DECLARE_METATYPE(FrameBuffer)

namespace {
QByteArray Bytes(const FrameBuffer& frame, int count) {
  return QByteArray(reinterpret_cast<const char*>(frame.data()), count);
}
FrameBuffer FrameOf(const QByteArray& hex) {
  FrameBuffer frame{};
  const QByteArray bytes = QByteArray::fromHex(hex);
  std::copy(bytes.begin(), bytes.end(), frame.begin());
  return frame;
}
}  // namespace

class TestFrame : public QObject {
  Q_OBJECT
 private slots:
  void requestForms_data() {
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<int>("expectedLength");
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<int>("wantExpected");
    FrameBuffer f{};
    int n = BuildReadHoldingRegisters(f, 1, 0, 1);
    QTest::newRow("read one register at 1") << Bytes(f, 8) << n << QByteArray::fromHex("010300000001840A") << 7;
    n = BuildReadHoldingRegisters(f, 247, 0, 1);
    QTest::newRow("read one register at 247") << Bytes(f, 8) << n << QByteArray::fromHex("F70300000001909C") << 7;
    n = BuildReadHoldingRegisters(f, 1, 0, 0);
    QTest::newRow("count 0 expects 7") << Bytes(f, 6) << n << QByteArray::fromHex("010300000000") << 7;
    n = BuildWriteSingleRegister(f, 1, 1, 5);
    QTest::newRow("write 5 to register 1") << Bytes(f, 8) << n << QByteArray::fromHex("0106000100051809") << 8;
    n = BuildWriteSingleRegister(f, 0, 0, 1);
    QTest::newRow("broadcast write") << Bytes(f, 8) << n << QByteArray::fromHex("00060000000149DB") << 8;
    n = BuildWriteFloat(f, 1, 12, 10.0f);
    QTest::newRow("float 10.0 to 12-13") << Bytes(f, 13) << n << QByteArray::fromHex("0110000C00020441200000E60C")
                                         << 13;
    n = BuildWriteFloat(f, 247, 7, 0.62f);
    QTest::newRow("float 0.62 to 7-8") << Bytes(f, 13) << n << QByteArray::fromHex("F71000070002043F1EB852302D") << 13;
  }
  void requestForms() {
    QFETCH(QByteArray, built);
    QFETCH(int, expectedLength);
    QFETCH(QByteArray, wire);
    QFETCH(int, wantExpected);
    QCOMPARE(built.toHex(' ').toUpper(), wire.toHex(' ').toUpper());
    // Reads return the expected reply length, float frames their own length.
    QCOMPARE(expectedLength, wantExpected);
  }

  void readReplyLength() {
    QCOMPARE(ReadReplyLength(0), uint8_t(7));
    QCOMPARE(ReadReplyLength(1), uint8_t(7));
    QCOMPARE(ReadReplyLength(12), uint8_t(29));
    QCOMPARE(ReadReplyLength(30), uint8_t(65));
    QCOMPARE(ReadReplyLength(125), uint8_t(255));
  }

  void crcOfNothingIsFFFF() { QCOMPARE(Crc16(nullptr, 0), uint16_t(0xFFFF)); }

  void replyCrc_data() {
    QTest::addColumn<QByteArray>("hex");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("ok");
    QTest::newRow("exception reply") << QByteArray("018302C0F1") << 5 << true;
    QTest::newRow("CRC bytes swapped") << QByteArray("018302F1C0") << 5 << false;
    QTest::newRow("one byte leaves no room") << QByteArray("FF") << 1 << false;
    QTest::newRow("nothing") << QByteArray("") << 0 << false;
    QTest::newRow("two bytes FF FF") << QByteArray("FFFF") << 2 << true;
    QTest::newRow("two bytes not FF FF") << QByteArray("FF00") << 2 << false;
    QTest::newRow("worked example")
        << QByteArray(
               "01033C00140001000400030005000000030006000001250000000"
               "03F1EB8523F0000003F1EB852000000FF000000FF0000000000FF03E801F40000000000FF4F63")
        << 65 << true;
    QTest::newRow("worked example cut short")
        << QByteArray(
               "01033C00140001000400030005000000030006000001250000000"
               "03F1EB8523F0000003F1EB852000000FF000000FF0000000000FF03E801F40000000000FF4F63")
        << 29 << false;
  }
  void replyCrc() {
    QFETCH(QByteArray, hex);
    QFETCH(int, count);
    QFETCH(bool, ok);
    QCOMPARE(ReplyCrcOk(FrameOf(hex), uint16_t(count)), ok);
  }

  void byteToHex_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "00";
    QTest::newRow("10") << 10 << "0A";
    QTest::newRow("165") << 165 << "A5";
    QTest::newRow("255") << 255 << "FF";
  }
  void byteToHex() {
    QFETCH(int, value);
    QFETCH(QString, text);
    QCOMPARE(ByteToHex(uint8_t(value)), text);
  }

  void zeroPadded_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("text");
    QTest::newRow("address 5") << 5 << 3 << "005";
    QTest::newRow("address 247") << 247 << 3 << "247";
    QTest::newRow("distance 37") << 37 << 4 << "0037";
    QTest::newRow("distance 0") << 0 << 4 << "0000";
    QTest::newRow("wider than width") << 12345 << 4 << "12345";
    QTest::newRow("width 0") << 5 << 0 << "5";
  }
  void zeroPadded() {
    QFETCH(int, value);
    QFETCH(int, width);
    QFETCH(QString, text);
    QCOMPARE(ZeroPadded(uint16_t(value), uint8_t(width)), text);
  }
};

QTEST_APPLESS_MAIN(TestFrame)
#include "tst_frame.moc"
