// What a spin edit makes of typed text: a number within the bounds is taken,
// a number beyond them is kept while typing and becomes the nearest bound,
// text that is not a number is refused or gives back the previous value.
#include <cmath>
#include <limits>

#include <QLocale>
#include <QtTest>

#include "widgets/bounded_spin_edit.h"

using namespace telvar;

Q_DECLARE_METATYPE(QValidator::State)

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

}  // namespace

class TestBoundedSpinEdit : public QObject {
  Q_OBJECT
 private slots:
  void readTypedNumber_data();
  void readTypedNumber();
  void typedTextSettles_data();
  void typedTextSettles();
  void everyKeyStaysInTheBox_data();
  void everyKeyStaysInTheBox();
};

void TestBoundedSpinEdit::readTypedNumber_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("locale");
  QTest::addColumn<int>("decimals");
  QTest::addColumn<double>("minimum");
  QTest::addColumn<double>("maximum");
  QTest::addColumn<QValidator::State>("state");
  QTest::addColumn<bool>("isNumber");
  QTest::addColumn<double>("value");
  const auto A = QValidator::Acceptable;
  const auto I = QValidator::Intermediate;
  const auto X = QValidator::Invalid;

  // Whole metres 0..2000.
  QTest::newRow("within") << "2000"
                          << "C" << 0 << 0.0 << 2000.0 << A << true << 2000.0;
  QTest::newRow("above") << "2500"
                         << "C" << 0 << 0.0 << 2000.0 << I << true << 2500.0;
  QTest::newRow("negative") << "-5"
                            << "C" << 0 << 0.0 << 2000.0 << I << true << -5.0;
  QTest::newRow("minus zero") << "-0"
                              << "C" << 0 << 0.0 << 2000.0 << A << true << 0.0;
  QTest::newRow("leading zeros") << "0012"
                                 << "C" << 0 << 0.0 << 2000.0 << A << true << 12.0;
  QTest::newRow("plus sign") << "+5"
                             << "C" << 0 << 0.0 << 2000.0 << A << true << 5.0;
  QTest::newRow("spaces around") << " 7 "
                                 << "C" << 0 << 0.0 << 2000.0 << A << true << 7.0;
  QTest::newRow("empty") << ""
                         << "C" << 0 << 0.0 << 2000.0 << I << false << 0.0;
  QTest::newRow("lone minus") << "-"
                              << "C" << 0 << 0.0 << 2000.0 << I << false << 0.0;
  QTest::newRow("letter") << "12a"
                          << "C" << 0 << 0.0 << 2000.0 << X << false << 0.0;
  QTest::newRow("two signs") << "--5"
                             << "C" << 0 << 0.0 << 2000.0 << X << false << 0.0;
  QTest::newRow("space inside") << "1 5"
                                << "C" << 0 << 0.0 << 2000.0 << X << false << 0.0;
  QTest::newRow("group separator") << "1,500"
                                   << "C" << 0 << 0.0 << 2000.0 << X << false << 0.0;
  QTest::newRow("fraction of a metre") << "20.5"
                                       << "C" << 0 << 0.0 << 2000.0 << X << false << 0.0;
  QTest::newRow("exponent") << "1e3"
                            << "C" << 0 << 0.0 << 2000.0 << X << false << 0.0;
  QTest::newRow("twenty digits") << "99999999999999999999"
                                 << "C" << 0 << 0.0 << 2000.0 << I << true << 1e20;
  QTest::newRow("too long for a double") << QString(400, QLatin1Char('9')) << "C" << 0 << 0.0 << 2000.0 << I << true
                                         << kInf;
  // Addresses 1..247.
  QTest::newRow("address 0") << "0"
                             << "C" << 0 << 1.0 << 247.0 << I << true << 0.0;
  QTest::newRow("address 248") << "248"
                               << "C" << 0 << 1.0 << 247.0 << I << true << 248.0;
  // Ohm/m 0.1..1.0 with three decimals.
  QTest::newRow("below") << "0.05"
                         << "C" << 3 << 0.1 << 1.0 << I << true << 0.05;
  QTest::newRow("just below") << "0.095"
                              << "C" << 3 << 0.1 << 1.0 << I << true << 0.095;
  QTest::newRow("lower bound") << "0.100"
                               << "C" << 3 << 0.1 << 1.0 << A << true << 0.1;
  QTest::newRow("lower bound of TeSpinEdit3") << "0.095"
                                              << "C" << 3 << 0.095 << 1.0 << A << true << 0.095;
  QTest::newRow("over one") << "1.5"
                            << "C" << 3 << 0.1 << 1.0 << I << true << 1.5;
  QTest::newRow("point last") << "1."
                              << "C" << 3 << 0.1 << 1.0 << A << true << 1.0;
  QTest::newRow("point first") << ".5"
                               << "C" << 3 << 0.1 << 1.0 << A << true << 0.5;
  QTest::newRow("lone point") << "."
                              << "C" << 3 << 0.1 << 1.0 << I << false << 0.0;
  QTest::newRow("minus point") << "-."
                               << "C" << 3 << 0.1 << 1.0 << I << false << 0.0;
  QTest::newRow("four decimals") << "0.6205"
                                 << "C" << 3 << 0.1 << 1.0 << X << false << 0.0;
  QTest::newRow("two points") << "0.6.2"
                              << "C" << 3 << 0.1 << 1.0 << X << false << 0.0;
  // The point and the comma both separate the decimals, whatever the locale:
  // the numpad gives a comma on a Russian layout.
  QTest::newRow("comma") << "0,62"
                         << "ru_RU" << 3 << 0.1 << 1.0 << A << true << 0.62;
  QTest::newRow("point in a comma locale") << "0.62"
                                           << "ru_RU" << 3 << 0.1 << 1.0 << A << true << 0.62;
  QTest::newRow("comma in the C locale") << "0,62"
                                         << "C" << 3 << 0.1 << 1.0 << A << true << 0.62;
  QTest::newRow("comma first") << ",5"
                               << "C" << 3 << 0.1 << 1.0 << A << true << 0.5;
  QTest::newRow("comma beyond the bound") << "1,05"
                                          << "ru_RU" << 3 << 0.1 << 1.0 << I << true << 1.05;
  QTest::newRow("lone comma") << ","
                              << "ru_RU" << 3 << 0.1 << 1.0 << I << false << 0.0;
  QTest::newRow("point and comma") << "0,6.2"
                                   << "C" << 3 << 0.1 << 1.0 << X << false << 0.0;
  QTest::newRow("comma in whole metres") << "20,5"
                                         << "ru_RU" << 0 << 0.0 << 2000.0 << X << false << 0.0;
}

void TestBoundedSpinEdit::readTypedNumber() {
  QFETCH(QString, text);
  QFETCH(QString, locale);
  QFETCH(int, decimals);
  QFETCH(double, minimum);
  QFETCH(double, maximum);
  QFETCH(QValidator::State, state);
  QFETCH(bool, isNumber);
  QFETCH(double, value);
  const TypedNumber typed = ReadTypedNumber(text, QLocale(locale), decimals, minimum, maximum);
  QCOMPARE(typed.state, state);
  QCOMPARE(typed.isNumber, isNumber);
  if (isNumber) QCOMPARE(typed.value, value);
}

void TestBoundedSpinEdit::typedTextSettles_data() {
  QTest::addColumn<bool>("resistance");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("shown");
  QTest::newRow("metres above") << false << "99999"
                                << "2000";
  QTest::newRow("metres below") << false << "-40"
                                << "0";
  QTest::newRow("metres of nothing") << false << "-"
                                     << "700";
  QTest::newRow("Ohm/m below") << true << "0,05"
                               << "0,100";
  QTest::newRow("Ohm/m above") << true << "7"
                               << "1,000";
  QTest::newRow("Ohm/m within") << true << "0,25"
                                << "0,250";
  QTest::newRow("Ohm/m of nothing") << true << ","
                                    << "0,500";
  QTest::newRow("Ohm/m with a point") << true << "0.25"
                                      << "0,250";
  // Text that reads as no number gives back the last number the box held:
  // 0.2 was one while typing, 2 metres too.
  QTest::newRow("Ohm/m with a letter") << true << "0,2a"
                                       << "0,200";
  QTest::newRow("Ohm/m of a letter") << true << "a0,2"
                                     << "0,500";
  QTest::newRow("metres with a fraction") << false << "2.5"
                                          << "2";
}

// Return settles the text on a value, in the edit's own locale.
void TestBoundedSpinEdit::typedTextSettles() {
  QFETCH(bool, resistance);
  QFETCH(QString, typed);
  QFETCH(QString, shown);
  BoundedSpinEdit length;
  length.setRange(0, 2000);
  length.setValue(700);
  BoundedDoubleSpinEdit ohms;
  ohms.setLocale(QLocale(QStringLiteral("ru_RU")));
  ohms.setDecimals(3);
  ohms.setRange(0.1, 1.0);
  ohms.setValue(0.5);
  QAbstractSpinBox* edit = resistance ? static_cast<QAbstractSpinBox*>(&ohms) : &length;
  edit->selectAll();
  QTest::keyClicks(edit, typed);
  QTest::keyClick(edit, Qt::Key_Return);
  QCOMPARE(edit->text(), shown);
  const double value = resistance ? ohms.value() : length.value();
  QCOMPARE(value, QLocale(resistance ? QStringLiteral("ru_RU") : QStringLiteral("C")).toDouble(shown));
}

void TestBoundedSpinEdit::everyKeyStaysInTheBox_data() {
  QTest::addColumn<QString>("desktop");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("shown");
  for (const char* desktop : {"C", "ru_RU"}) {
    const QString locale = QString::fromLatin1(desktop);
    QTest::addRow("%s: 0.5", desktop) << locale << "0.5"
                                      << "0.500";
    QTest::addRow("%s: 0,5", desktop) << locale << "0,5"
                                      << "0.500";
    QTest::addRow("%s: .5", desktop) << locale << ".5"
                                     << "0.500";
    QTest::addRow("%s: 1,05", desktop) << locale << "1,05"
                                       << "1.000";
    QTest::addRow("%s: 0.095", desktop) << locale << "0.095"
                                        << "0.100";
    QTest::addRow("%s: 5..", desktop) << locale << "5.."
                                      << "0.620";
    QTest::addRow("%s: x5", desktop) << locale << "x5"
                                     << "0.620";
    QTest::addRow("%s: 0..5", desktop) << locale << "0..5"
                                       << "0.620";
  }
}

// Whatever the desktop's locale, a resistance edit keeps every key typed,
// then shows the number settled with a point, or gives back the previous
// value.
void TestBoundedSpinEdit::everyKeyStaysInTheBox() {
  QFETCH(QString, desktop);
  QFETCH(QString, typed);
  QFETCH(QString, shown);
  const QLocale before;
  QLocale::setDefault(QLocale(desktop));
  BoundedDoubleSpinEdit ohms;
  QLocale::setDefault(before);
  ohms.setDecimals(3);
  ohms.setRange(0.1, 1.0);
  ohms.setValue(0.62);
  QCOMPARE(ohms.text(), QStringLiteral("0.620"));
  ohms.selectAll();
  QTest::keyClicks(&ohms, typed);
  QCOMPARE(ohms.text(), typed);
  QTest::keyClick(&ohms, Qt::Key_Return);
  QCOMPARE(ohms.text(), shown);
  QCOMPARE(ohms.value(), shown.toDouble());
}

QTEST_MAIN(TestBoundedSpinEdit)
#include "tst_bounded_spin_edit.moc"
