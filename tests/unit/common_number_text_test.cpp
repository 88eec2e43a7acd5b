// The leading-number rule and the two number texts, as every control text
// and file field of the program is read and written.
#include "common/NumberText.h"

#include <QtTest>
#include <cfloat>
#include <cmath>
#include <limits>
#include <random>

class NumberTextTest : public QObject {
    Q_OBJECT
private slots:
    void leadingNumber_data();
    void leadingNumber();
    void leadingNumberNeverInfinite_data();
    void leadingNumberNeverInfinite();
    void signBlank_data();
    void signBlank();
    void plain_data();
    void plain();
    void notFinite();
    void round15();
    void textsReadBack_data();
    void textsReadBack();
    void wholeNumbersAsTheGeneralRule();
};

void NumberTextTest::leadingNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("unit after the number") << "5000ms" << 5000.0;
    QTest::newRow("empty gives 0") << "" << 0.0;
    QTest::newRow("letters give 0") << "abc" << 0.0;
    QTest::newRow("blank sign decimals exponent then junk") << " -12.5e2x" << -1250.0;
    QTest::newRow("point first") << ".5" << 0.5;
    QTest::newRow("second point ends it") << "1.2.3" << 1.2;
    QTest::newRow("plus sign") << "+7" << 7.0;
    QTest::newRow("tabs and line feeds skipped") << "\t\n 42" << 42.0;
    QTest::newRow("blanks inside skipped") << "1 000" << 1000.0;
    QTest::newRow("blank after sign") << "- 3" << -3.0;
    QTest::newRow("carriage return ends it") << "\r5" << 0.0;
    QTest::newRow("trailing CR LF") << "19200\r\n" << 19200.0;
    QTest::newRow("E without digits ends before it") << "3E" << 3.0;
    QTest::newRow("E sign without digits") << "3e+x" << 3.0;
    QTest::newRow("lower-case exponent negative") << "25e-1" << 2.5;
    QTest::newRow("exponent of zeros") << "4E00" << 4.0;
    QTest::newRow("sign alone") << "-" << 0.0;
    QTest::newRow("point alone") << "." << 0.0;
    QTest::newRow("sign and point") << "-.e5" << 0.0;
    QTest::newRow("two signs") << "--5" << 0.0;
    QTest::newRow("hex prefix is no number") << "&H10" << 0.0;
    QTest::newRow("comma ends it") << "35.5,139.7" << 35.5;
    QTest::newRow("negative zero reads as zero") << "-0" << 0.0;
    QTest::newRow("leading zeros") << "007" << 7.0;
    QTest::newRow("full-width digit is no digit") << QString::fromUtf8("１２") << 0.0;
    QTest::newRow("underflow gives 0") << "1e-999" << 0.0;
    QTest::newRow("long exponent of zeros then digit") << "2e0000000000000000001" << 20.0;
    QTest::newRow("coordinate") << "35.6520566" << 35.6520566;
}

void NumberTextTest::leadingNumber() {
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(numtext::leadingNumber(text), value);
}

void NumberTextTest::leadingNumberNeverInfinite_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("huge exponent") << "1e400" << DBL_MAX;
    QTest::newRow("huge negative") << "-9e99999999999999999999" << -DBL_MAX;
    QTest::newRow("many digits") << QString(400, u'9') << DBL_MAX;
}

void NumberTextTest::leadingNumberNeverInfinite() {
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(numtext::leadingNumber(text), value);
}

void NumberTextTest::signBlank_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("half has no zero before the point") << 0.5 << " .5";
    QTest::newRow("negative below one") << -0.25 << "-.25";
    QTest::newRow("zero") << 0.0 << " 0";
    QTest::newRow("negative zero is zero") << -0.0 << " 0";
    QTest::newRow("integer") << 47.0 << " 47";
    QTest::newRow("negative integer") << -47.0 << "-47";
    QTest::newRow("latitude") << 35.6520566 << " 35.6520566";
    QTest::newRow("longitude") << 139.761315 << " 139.761315";
    QTest::newRow("rounded to 15 significant") << 1.0 / 3.0 << " .333333333333333";
    QTest::newRow("binary noise dropped") << 0.1 + 0.2 << " .3";
    QTest::newRow("15 digits stay fixed") << 123456789012345.0 << " 123456789012345";
    QTest::newRow("16 digits go to exponent") << 1234567890123456.0 << " 1.23456789012346E+15";
    QTest::newRow("large exponent") << 1e20 << " 1E+20";
    QTest::newRow("small exponent") << 1e-20 << " 1E-20";
    QTest::newRow("negative small exponent") << -2.5e-7 << "-2.5E-07";
    QTest::newRow("ten thousandth stays fixed") << 0.0001 << " .0001";
    QTest::newRow("below ten thousandth is exponent") << 0.00001 << " 1E-05";
}

void NumberTextTest::signBlank() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(numtext::signBlank(value), text);
}

void NumberTextTest::plain_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("half keeps the zero") << 0.5 << "0.5";
    QTest::newRow("negative below one") << -0.25 << "-0.25";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("integer") << 19200.0 << "19200";
    QTest::newRow("negative") << -12.5 << "-12.5";
    QTest::newRow("binary noise dropped") << 0.1 + 0.2 << "0.3";
    QTest::newRow("large exponent") << 1e20 << "1E+20";
    QTest::newRow("small exponent") << 1e-20 << "1E-20";
    QTest::newRow("largest double") << DBL_MAX << "1.79769313486232E+308";
}

void NumberTextTest::plain() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(numtext::plain(value), text);
}

void NumberTextTest::notFinite() {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QCOMPARE(numtext::signBlank(inf), QStringLiteral(" inf"));
    QCOMPARE(numtext::signBlank(-inf), QStringLiteral("-inf"));
    QCOMPARE(numtext::signBlank(nan), QStringLiteral(" nan"));
    QCOMPARE(numtext::plain(-inf), QStringLiteral("-inf"));
    QVERIFY(std::isnan(numtext::round15(nan)));
    QCOMPARE(numtext::round15(inf), inf);
    // Such texts read back as no number rather than as an infinity.
    QCOMPARE(numtext::leadingNumber(QStringLiteral("inf")), 0.0);
    QCOMPARE(numtext::leadingNumber(QStringLiteral("nan")), 0.0);
}

void NumberTextTest::round15() {
    QCOMPARE(numtext::round15(0.1 + 0.2), 0.3);
    QCOMPARE(numtext::round15(1.0 / 3.0), 0.333333333333333);
    QCOMPARE(numtext::round15(-2.0 / 3.0), -0.666666666666667);
    QCOMPARE(numtext::round15(35.6520566), 35.6520566);
    QCOMPARE(numtext::round15(DBL_MAX), DBL_MAX);   // its text overflows and is held
}

void NumberTextTest::textsReadBack_data() {
    QTest::addColumn<double>("value");
    for (double v : {0.5, -0.25, 1e20, -1e-20, 139.761315, 1.0 / 7.0, 6.02214076e23, 4.9e-324})
        QTest::newRow(qPrintable(QString::number(v, 'g', 17))) << v;
}

void NumberTextTest::textsReadBack() {
    QFETCH(double, value);
    const double r = numtext::round15(value);
    QCOMPARE(numtext::leadingNumber(numtext::plain(value)), r);
    QCOMPARE(numtext::leadingNumber(numtext::signBlank(value)), r);
    QCOMPARE(numtext::round15(r), r);
}

// Whole numbers, read and written on every step, take a short road; it must
// give exactly what the general conversion gives, and leave every other
// text (16 digits, blanks inside or after, a point, an exponent) to it.
void NumberTextTest::wholeNumbersAsTheGeneralRule() {
    std::mt19937_64 random(760);
    for (int i = 0; i < 4000; ++i) {
        const int digits = 1 + int(random() % 17);
        QString text;
        for (int d = 0; d < digits; ++d)
            text += QChar(u'0' + int(random() % 10));
        const QString sign = QStringList{QString(), QStringLiteral("-"), QStringLiteral("+")}[int(random() % 3)];
        const QString before = QStringList{QString(), QStringLiteral(" "), QStringLiteral("\t\n ")}[int(random() % 3)];
        const QString whole = before + sign + text;
        const double expected = std::strtod(qPrintable(QString(whole).remove(u'\t').remove(u'\n').remove(u' ')), nullptr);
        QCOMPARE(numtext::leadingNumber(whole), expected);
        QCOMPARE(numtext::leadingNumber(whole + QStringLiteral("dBm")), expected);
        QCOMPARE(numtext::leadingNumber(whole + QStringLiteral(" 5")), std::strtod(qPrintable(sign + text + u'5'), nullptr));
        QCOMPARE(numtext::leadingNumber(whole + QStringLiteral(".5e1")), std::strtod(qPrintable(sign + text + QStringLiteral(".5e1")), nullptr));

        const double value = std::trunc(std::ldexp(double(random() >> 11), -int(random() % 54)));
        for (const double v : {value, -value}) {
            if (v == 0) continue;
            QCOMPARE(numtext::plain(v), QString::number(v, 'G', 15));
            QCOMPARE(numtext::leadingNumber(numtext::plain(v)), numtext::round15(v));
        }
    }
    QVERIFY(std::signbit(numtext::leadingNumber(QStringLiteral("-0"))));
    QCOMPARE(numtext::plain(999999999999999.0), QStringLiteral("999999999999999"));
    QCOMPARE(numtext::plain(1e15), QStringLiteral("1E+15"));
    QCOMPARE(numtext::signBlank(-87), QStringLiteral("-87"));
    QCOMPARE(numtext::signBlank(62), QStringLiteral(" 62"));
}

QTEST_APPLESS_MAIN(NumberTextTest)
#include "common_number_text_test.moc"
