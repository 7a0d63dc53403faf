#include "common/failure.h"
#include "common/numbers.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace smartcar;

namespace {
const QString kField = QStringLiteral("「测试」");

// "ok", "mismatch" or "overflow", and the value when ok.
QString outcome(const std::function<double()>& convert, double* value)
{
    try {
        *value = convert();
        return QStringLiteral("ok");
    } catch (const Failure& f) {
        return f.kind() == Failure::Kind::TypeMismatch ? QStringLiteral("mismatch")
                                                       : QStringLiteral("overflow");
    }
}
} // namespace

class TestNumbers : public QObject
{
    Q_OBJECT
private slots:
    void strictNumber_data();
    void strictNumber();
    void wholeNumber_data();
    void wholeNumber();
    void plainText_data();
    void plainText();
    void leadingHex_data();
    void leadingHex();
    void leadingDecimal_data();
    void leadingDecimal();
};

void TestNumbers::strictNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");
    QTest::addColumn<double>("value");
    QTest::newRow("plainInteger") << "120" << "ok" << 120.0;
    QTest::newRow("negative") << "-20" << "ok" << -20.0;
    QTest::newRow("explicitPlus") << "+5" << "ok" << 5.0;
    QTest::newRow("fraction") << "120.9" << "ok" << 120.9;
    QTest::newRow("leadingPoint") << ".5" << "ok" << 0.5;
    QTest::newRow("trailingPoint") << "5." << "ok" << 5.0;
    QTest::newRow("exponent") << "1.5e3" << "ok" << 1500.0;
    QTest::newRow("negativeExponent") << "25E-1" << "ok" << 2.5;
    QTest::newRow("blanksAround") << " \t42 \r\n" << "ok" << 42.0;
    QTest::newRow("minusZero") << "-0" << "ok" << 0.0;
    QTest::newRow("tinyIsZero") << "1e-400" << "ok" << 0.0;
    QTest::newRow("longFractionUnderflows") << "0." + QString(400, '0') + "1" << "ok" << 0.0;
    QTest::newRow("trailingLetters") << "45km" << "mismatch" << 0.0;
    QTest::newRow("blankInside") << "4 5" << "mismatch" << 0.0;
    QTest::newRow("signOnly") << "-" << "mismatch" << 0.0;
    QTest::newRow("pointOnly") << "." << "mismatch" << 0.0;
    QTest::newRow("exponentWithoutDigits") << "1e" << "mismatch" << 0.0;
    QTest::newRow("infinityLong") << "-Infinity" << "mismatch" << 0.0;
    QTest::newRow("thousandsSeparator") << "1,000" << "mismatch" << 0.0;
    QTest::newRow("commaDecimal") << "1,5" << "mismatch" << 0.0;
    QTest::newRow("embeddedNul") << QString::fromUtf8("12\0003", 4) << "mismatch" << 0.0;
    QTest::newRow("twoSigns") << "--5" << "mismatch" << 0.0;
    QTest::newRow("hugeDigits") << QString(400, '9') << "overflow" << 0.0;
    QTest::newRow("hugeNegative") << "-1e999" << "overflow" << 0.0;
}

void TestNumbers::strictNumber()
{
    QFETCH(QString, text);
    QFETCH(QString, result);
    QFETCH(double, value);
    double got = -1;
    QCOMPARE(outcome([&] { return toNumber(text, kField); }, &got), result);
    if (result == QLatin1String("ok"))
        QCOMPARE(got, value);
}

void TestNumbers::wholeNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("value");
    QTest::newRow("halfDownToEven") << "1500.5" << "ok" << 1500;
    QTest::newRow("halfUpToEven") << "1501.5" << "ok" << 1502;
    QTest::newRow("negativeHalf") << "-2.5" << "ok" << -2;
    QTest::newRow("negativeOneAndHalf") << "-1.5" << "ok" << -2;
    QTest::newRow("nearestBelowHalf") << "10.49" << "ok" << 10;
    QTest::newRow("nearestAboveHalf") << "10.51" << "ok" << 11;
    QTest::newRow("maximum") << "2147483647" << "ok" << 2147483647;
    QTest::newRow("minimum") << "-2147483648" << "ok" << int(-2147483647 - 1);
    QTest::newRow("roundsIntoRange") << "2147483647.4" << "ok" << 2147483647;
    QTest::newRow("roundsOutOfRange") << "2147483647.5" << "overflow" << 0;
    QTest::newRow("justBelow") << "-2147483649" << "overflow" << 0;
    QTest::newRow("exponentHuge") << "1e10" << "overflow" << 0;
    QTest::newRow("empty") << "" << "mismatch" << 0;
}

void TestNumbers::wholeNumber()
{
    QFETCH(QString, text);
    QFETCH(QString, result);
    QFETCH(int, value);
    double got = -1;
    QCOMPARE(outcome([&] { return double(toWholeNumber(text, kField)); }, &got), result);
    if (result == QLatin1String("ok"))
        QCOMPARE(int(got), value);
}

void TestNumbers::plainText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text"); // "none" when plain notation cannot show it
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("minusZero") << -0.0 << "0";
    QTest::newRow("half") << 0.5 << "0.5";
    QTest::newRow("whole") << 60.0 << "60";
    QTest::newRow("fraction") << 60.45 << "60.45";
    QTest::newRow("negative") << -10.0 << "-10";
    QTest::newRow("hundred") << 100.0 << "100";
    QTest::newRow("fifteenDigits") << 123456789012345.0 << "123456789012345";
    QTest::newRow("roundedTo15Digits") << 0.1 + 0.2 << "0.3";
    QTest::newRow("lastDigitRounded") << 1.23456789012345678 << "1.23456789012346";
    QTest::newRow("smallPlain") << 0.000001 << "0.000001";
    QTest::newRow("smallestPlain") << 1e-15 << "0.000000000000001";
    QTest::newRow("tooLarge") << 1e15 << "none";
    QTest::newRow("roundsUpToTooLarge") << 999999999999999.9 << "none";
    QTest::newRow("tooSmall") << 1e-16 << "none";
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << "none";
}

void TestNumbers::plainText()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    const auto got = toPlainText(value);
    QCOMPARE(got.value_or(QStringLiteral("none")), text);
}

void TestNumbers::leadingHex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value"); // -1: too large
    QTest::newRow("decimalPointStops") << "60.45" << qint64(0x60);
    QTest::newRow("carriageReturnStops") << "1\r0" << qint64(1);
    QTest::newRow("fullWidthIsNoDigit") << QString::fromUtf8("１") << qint64(0);
    QTest::newRow("thirtyTwoBits") << "FFFFFFFF" << qint64(0xffffffff);
    QTest::newRow("longRunIsTooLarge") << QString(1000, 'F') << qint64(-1);
}

void TestNumbers::leadingHex()
{
    QFETCH(QString, text);
    QFETCH(qint64, value);
    const auto got = readLeadingHex(text);
    QCOMPARE(got ? qint64(*got) : qint64(-1), value);
}

void TestNumbers::leadingDecimal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << "40" << 40.0;
    QTest::newRow("leadingZero") << "040" << 40.0;
    QTest::newRow("blankBetweenDigits") << "4 5" << 45.0;
    QTest::newRow("trailingUnit") << "45km" << 45.0;
    QTest::newRow("commaStops") << "40,5" << 40.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("hexLooking") << "A0" << 0.0;
    QTest::newRow("negative") << "-5" << -5.0;
    QTest::newRow("blankAfterSign") << "- 5" << -5.0;
    QTest::newRow("fraction") << "60.0" << 60.0;
    QTest::newRow("secondPointStops") << "1.2.3" << 1.2;
    QTest::newRow("leadingPoint") << ".5" << 0.5;
    QTest::newRow("signOnly") << "-" << 0.0;
    QTest::newRow("secondSignStops") << "5-3" << 5.0;
    QTest::newRow("exponentNotRead") << "1e3" << 1.0;
    QTest::newRow("hugeIsInfinite") << QString(400, '9') << std::numeric_limits<double>::infinity();
}

void TestNumbers::leadingDecimal()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(readLeadingDecimal(text), value);
}

QTEST_APPLESS_MAIN(TestNumbers)
#include "test_numbers.moc"
