// The first-generation writes: the linear resistance frame and the value of
// the output logic register.
#include <QtTest>

#include "console_v1/commands.h"

using namespace telvar;
using namespace telvar::v1;

Q_DECLARE_METATYPE(telvar::v1::OutputLoop)

class TestCommands : public QObject {
  Q_OBJECT
 private slots:
  void linearResistanceFrame_data();
  void linearResistanceFrame();
  void outputLogicValue_data();
  void outputLogicValue();
};

void TestCommands::linearResistanceFrame_data() {
  QTest::addColumn<int>("address");
  QTest::addColumn<bool>("secondLoop");
  QTest::addColumn<double>("value");
  QTest::addColumn<QByteArray>("frame");
  QTest::newRow("ШС1, 0.62, most significant byte first")
      << 247 << false << 0.62 << QByteArray::fromHex("F7 10 00 07 00 02 04 3F 1E B8 52 30 2D");
  QTest::newRow("ШС2 starts at register 9")
      << 247 << true << 0.62 << QByteArray::fromHex("F7 10 00 09 00 02 04 3F 1E B8 52 B1 A1");
  QTest::newRow("lower limit at address 1")
      << 1 << false << 0.095 << QByteArray::fromHex("01 10 00 07 00 02 04 3D C2 8F 5C 7A 10");
}

void TestCommands::linearResistanceFrame() {
  QFETCH(int, address);
  QFETCH(bool, secondLoop);
  QFETCH(double, value);
  QFETCH(QByteArray, frame);
  FrameBuffer buffer;
  buffer.fill(0xEE);
  const uint8_t length = BuildLinearResistanceFrame(buffer, uint8_t(address), secondLoop, value);
  QCOMPARE(int(length), 13);
  QCOMPARE(QByteArray(reinterpret_cast<const char*>(buffer.data()), length).toHex(' '), frame.toHex(' '));
  QCOMPARE(buffer[13], uint8_t(0xEE));  // nothing written past the frame
}

void TestCommands::outputLogicValue_data() {
  QTest::addColumn<telvar::v1::OutputLoop>("loop");
  QTest::addColumn<bool>("closed");
  QTest::addColumn<bool>("otherClosed");
  QTest::addColumn<int>("value");
  using L = OutputLoop;
  QTest::newRow("B0, C0 selected") << L::Loop1 << true << true << 0x0300;
  QTest::newRow("B0, C0 not selected") << L::Loop1 << true << false << 0x0100;
  QTest::newRow("B1, C0 selected") << L::Loop1 << false << true << 0x0200;
  QTest::newRow("B1, neither ШС2 button") << L::Loop1 << false << false << 0x0000;
  QTest::newRow("C0, B0 selected") << L::Loop2 << true << true << 0x0300;
  QTest::newRow("C0, B0 not selected") << L::Loop2 << true << false << 0x0200;
  QTest::newRow("C1, B0 selected") << L::Loop2 << false << true << 0x0100;
  QTest::newRow("C1, B0 not selected") << L::Loop2 << false << false << 0x0000;
}

void TestCommands::outputLogicValue() {
  QFETCH(telvar::v1::OutputLoop, loop);
  QFETCH(bool, closed);
  QFETCH(bool, otherClosed);
  QFETCH(int, value);
  QCOMPARE(int(OutputLogicValue(loop, closed, otherClosed)), value);
}

QTEST_APPLESS_MAIN(TestCommands)
#include "tst_commands.moc"
