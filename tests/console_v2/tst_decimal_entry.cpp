// A linear resistance typed into either window is the number written, on a
// C desktop and on a Russian one alike: the point and the comma both
// separate the decimals, no key is dropped from the box, and the box shows
// the number with a point, as the status grids do. The frame is the one the
// simulator received.
//
// The window must meet the desktop's locale as the program does, from LANG
// at start: a row for a locale other than this run's runs in a child run of
// this test with LANG set to it.
#include <clocale>

#include <QDoubleSpinBox>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include "tests/console_v2/two_windows.h"
#include "tests/support/user_input.h"

using both::Bench;
using both::Program;
using telvar::testing::TypeInto;

namespace {

const char* const kRussian = "ru_RU.UTF-8";

// The locale QLocale makes of LANG=lang: "C" or e.g. "ru_RU".
QString LocaleName(const QString& lang) { return lang.section(QLatin1Char('.'), 0, 0); }

bool LocaleInstalled(const QString& lang) {
  const locale_t locale = newlocale(LC_ALL_MASK, lang.toLatin1().constData(), locale_t(nullptr));
  if (locale == locale_t(nullptr)) return false;
  freelocale(locale);
  return true;
}

// The desktop of a technician who starts the program with LANG=lang.
QProcessEnvironment Desktop(const QString& lang) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const QString& name : environment.keys()) {
    if (name.startsWith(QLatin1String("LC_")) || name == QLatin1String("LANGUAGE")) environment.remove(name);
  }
  environment.insert(QStringLiteral("LANG"), lang);
  return environment;
}

struct Fields {
  const char* edit;
  const char* button;
};

Fields ResistanceFields(Program program) {
  return program == Program::V210 ? Fields{"SEdit1", "TeButton10"} : Fields{"TeSpinEdit3", "TeButton2"};
}

// The function-16 write of the first loop's resistance at address 247.
QString ResistanceFrame(Program program, const char* floatBytes) {
  const QString start = program == Program::V210 ? QStringLiteral("0C") : QStringLiteral("07");
  const QByteArray frame =
      fromHex(QStringLiteral("F7 10 00 %1 00 02 04 %2").arg(start, QLatin1String(floatBytes)).toLatin1());
  return hexText(BytesWithCrc(frame));
}

}  // namespace

class TestDecimalEntry : public QObject {
  Q_OBJECT
 private slots:
  void typedNumberIsWritten_data();
  void typedNumberIsWritten();
};

void TestDecimalEntry::typedNumberIsWritten_data() {
  QTest::addColumn<Program>("program");
  QTest::addColumn<QString>("lang");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<bool>("byReturn");  // else the click on ЗАПИСАТЬ ends the typing
  QTest::addColumn<QString>("shown");
  QTest::addColumn<QString>("frame");
  struct Typed {
    const char* text;
    const char* shown[2];    // telvar_v210 (0.100..1.000), telvar_105 (0.095..1.000)
    const char* written[2];  // the float's bytes
  };
  const Typed typings[] = {
      {"0.5", {"0.500", "0.500"}, {"3F 00 00 00", "3F 00 00 00"}},
      {"0,5", {"0.500", "0.500"}, {"3F 00 00 00", "3F 00 00 00"}},
      {".5", {"0.500", "0.500"}, {"3F 00 00 00", "3F 00 00 00"}},
      {"1,05", {"1.000", "1.000"}, {"3F 80 00 00", "3F 80 00 00"}},
      {"0.095", {"0.100", "0.095"}, {"3D CC CC CD", "3D C2 8F 5C"}},
  };
  for (Program program : {Program::V210, Program::V105}) {
    const int p = program == Program::V210 ? 0 : 1;
    for (const char* lang : {"C", kRussian}) {
      for (const Typed& typed : typings) {
        for (bool byReturn : {true, false}) {
          QTest::addRow("%s, %s, %s, %s", both::ProgramName(program), lang, typed.text,
                        byReturn ? "Return" : "write button")
              << program << QString::fromLatin1(lang) << QString::fromLatin1(typed.text) << byReturn
              << QString::fromLatin1(typed.shown[p]) << ResistanceFrame(program, typed.written[p]);
        }
      }
    }
  }
}

void TestDecimalEntry::typedNumberIsWritten() {
  QFETCH(Program, program);
  QFETCH(QString, lang);
  QFETCH(QString, typed);
  QFETCH(bool, byReturn);
  QFETCH(QString, shown);
  QFETCH(QString, frame);

  if (QLocale::system().name() != LocaleName(lang)) {
    if (!LocaleInstalled(lang)) {
      QSKIP(qPrintable(QStringLiteral("the locale %1 is not installed on this machine (on Debian: the package "
                                      "locales, %1 enabled in /etc/locale.gen, then locale-gen)")
                           .arg(lang)));
    }
    QProcess run;
    run.setProcessEnvironment(Desktop(lang));
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("%1:%2").arg(QLatin1String(QTest::currentTestFunction()),
                                           QString::fromUtf8(QTest::currentDataTag()))});
    QVERIFY2(run.waitForFinished(60000), "the run with LANG set did not end");
    const QByteArray output = run.readAll();
    QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, output.constData());
    // The row ran there, and passed.
    const QByteArray passed =
        QByteArray("PASS   : TestDecimalEntry::") + QTest::currentTestFunction() + '(' + QTest::currentDataTag() + ')';
    QVERIFY2(output.contains(passed), output.constData());
    return;
  }

  // This run has the row's desktop: a Russian one writes numbers with a comma.
  QCOMPARE(QLocale().decimalPoint(), lang == QLatin1String("C") ? QStringLiteral(".") : QStringLiteral(","));
  Bench b(program);
  QVERIFY(b.Start());
  const Fields fields = ResistanceFields(program);
  auto* field = b.Find<QDoubleSpinBox>(QString::fromLatin1(fields.edit));
  QCOMPARE(field->text(), QStringLiteral("0.620"));
  TypeInto(field, typed);
  QCOMPARE(field->text(), typed);
  if (byReturn) {
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(field->text(), shown);
  }
  QTest::mouseClick(b.Find<QPushButton>(QString::fromLatin1(fields.button)), Qt::LeftButton);
  QCOMPARE(field->text(), shown);
  QVERIFY(b.WaitForEnds(1));
  QCOMPARE(b.Requests(), QStringList{frame});
}

QTEST_MAIN(TestDecimalEntry)
#include "tst_decimal_entry.moc"
