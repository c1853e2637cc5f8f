// The identification tables of both programs.
#include <QtTest>

#include "search/identification.h"

using namespace telvar;

class TestIdentification : public QObject {
  Q_OBJECT
 private slots:
  void lines_data();
  void lines();
  void unknownLineLetter_data();
  void unknownLineLetter();
};

void TestIdentification::lines_data() {
  QTest::addColumn<bool>("secondGeneration");
  QTest::addColumn<int>("modelId");
  QTest::addColumn<QString>("line");
  const QString unknownV2 = QStringLiteral("   : ОБНАРУЖЕН ПРИБОР C НЕИЗВЕСТНЫМ ID ПО АДРЕСУ ");
  const QString unknownV1 = QStringLiteral("   : ОБНАРУЖЕН ПРИБОР С НЕИЗВЕСТНЫМ ID ПО АДРЕСУ ");
  auto found = [](const char* model) {
    return QStringLiteral("   : ОБНАРУЖЕН ПРИБОР <") + QString::fromUtf8(model) + QStringLiteral("> ПО АДРЕСУ ");
  };
  QTest::newRow("v2 1") << true << 1 << found("ОРСАН-Б");
  QTest::newRow("v2 3") << true << 3 << found("ТЕЛВАР-2");
  QTest::newRow("v2 4") << true << 4 << found("ТЕЛВАР-1");
  QTest::newRow("v2 8") << true << 8 << found("ОРСАН-Д");
  QTest::newRow("v2 9") << true << 9 << found("ОРСАН-Д(Н)");
  QTest::newRow("v2 10 as 8") << true << 10 << found("ОРСАН-Д");
  QTest::newRow("v2 17") << true << 17 << found("ОРСАН-ЦП(-К)-М");
  QTest::newRow("v2 18") << true << 18 << found("ОРСАН-Г - V2");
  QTest::newRow("v2 19") << true << 19 << found("ТЕЛВАР-1 - V2");
  QTest::newRow("v2 20") << true << 20 << found("ТЕЛВАР-2 - V2");
  QTest::newRow("v2 21") << true << 21 << found("ТЕЛВАР-3 - V2");
  QTest::newRow("v2 0") << true << 0 << unknownV2;
  QTest::newRow("v2 22") << true << 22 << unknownV2;
  QTest::newRow("v2 256") << true << 256 << unknownV2;
  QTest::newRow("v2 65535") << true << 65535 << unknownV2;
  QTest::newRow("v1 3") << false << 3 << found("ТЕЛВАР-2(EX)");
  QTest::newRow("v1 4") << false << 4 << found("ТЕЛВАР-1(EX)");
  QTest::newRow("v1 0") << false << 0 << unknownV1;
  QTest::newRow("v1 1") << false << 1 << unknownV1;
  QTest::newRow("v1 20") << false << 20 << unknownV1;
  QTest::newRow("v1 65535") << false << 65535 << unknownV1;
}

void TestIdentification::lines() {
  QFETCH(bool, secondGeneration);
  QFETCH(int, modelId);
  QFETCH(QString, line);
  const uint16_t id = uint16_t(modelId);
  QCOMPARE(secondGeneration ? IdentificationLineV2(id) : IdentificationLineV1(id), line);
}

// The two unknown-id lines differ in one letter that looks the same.
void TestIdentification::unknownLineLetter_data() {
  QTest::addColumn<bool>("secondGeneration");
  QTest::addColumn<int>("letter");
  QTest::newRow("telvar_v210: Latin C") << true << 0x0043;
  QTest::newRow("telvar_105: Cyrillic Es") << false << 0x0421;
}

void TestIdentification::unknownLineLetter() {
  QFETCH(bool, secondGeneration);
  QFETCH(int, letter);
  const QString line = secondGeneration ? IdentificationLineV2(0) : IdentificationLineV1(0);
  const int at = line.indexOf(QStringLiteral(" НЕИЗВЕСТНЫМ")) - 1;
  QVERIFY(at > 0);
  QCOMPARE(int(line.at(at).unicode()), letter);
  // The rest of the line is Cyrillic where it reads Cyrillic.
  QVERIFY(line.startsWith(QStringLiteral("   : ОБНАРУЖЕН ПРИБОР ")));
  QCOMPARE(int(line.at(5).unicode()), 0x041E);
}

QTEST_MAIN(TestIdentification)
#include "tst_identification.moc"
