// The traffic log's lines and colours, with and without its text box.
#include <QPlainTextEdit>
#include <QtTest>

#include "link/frame.h"
#include "link/traffic_log.h"

using namespace telvar;

class TestTrafficLog : public QObject {
  Q_OBJECT
 private slots:
  void byteLines_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("lineLengths");
    QTest::newRow("request of 8") << 8 << QList<int>{5 + 3 * 8};
    QTest::newRow("17 fill one line") << 17 << QList<int>{56};
    QTest::newRow("18 spill one byte") << 18 << QList<int>{56, 8};
    QTest::newRow("status reply of 65") << 65 << QList<int>{56, 56, 56, 5 + 3 * 14};
    QTest::newRow("one byte") << 1 << QList<int>{8};
  }
  void byteLines() {
    QFETCH(int, count);
    QFETCH(QList<int>, lineLengths);
    QByteArray bytes(count, '\0');
    for (int i = 0; i < count; ++i) bytes[i] = char(i);
    const QStringList lines = ByteLines(kReplyPrefix, reinterpret_cast<const uint8_t*>(bytes.constData()), count);
    QCOMPARE(lines.size(), lineLengths.size());
    for (int i = 0; i < lines.size(); ++i) {
      QCOMPARE(lines[i].size(), lineLengths[i]);
      QVERIFY(lines[i].startsWith(i == 0 ? QStringLiteral("RX : ") : QStringLiteral("     ")));
      QVERIFY(lines[i].endsWith(QLatin1Char(' ')));
      // The line's first byte is the one 17 * i places in.
      QCOMPARE(lines[i].mid(5, 2), ByteToHex(uint8_t(17 * i)));
    }
  }

  void requestAndReplyInTheBox() {
    QPlainTextEdit box;
    TrafficLog log(&box);
    QCOMPARE(box.toPlainText(), QStringLiteral("TX :\nRX :"));
    QCOMPARE(box.palette().color(QPalette::Text), kLogNavy);

    const uint8_t request[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
    log.LogRequest(request, 8);
    QCOMPARE(log.Lines(), (QStringList{"TX : 01 03 00 00 00 01 84 0A ", "RX :"}));
    QCOMPARE(box.palette().color(QPalette::Text), kLogRed);

    log.SetColor(kLogBlue);
    log.AddLine(kLineTimeOut);
    QCOMPARE(box.toPlainText(), QStringLiteral("TX : 01 03 00 00 00 01 84 0A \nRX :\n   : TIME OUT."));
    QCOMPARE(box.palette().color(QPalette::Text), kLogBlue);
    QVERIFY(box.isReadOnly());
  }
};

QTEST_MAIN(TestTrafficLog)
#include "tst_traffic_log.moc"
