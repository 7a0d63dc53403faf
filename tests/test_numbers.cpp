// The number readings. What the speed byte, raw byte, turn time and alarm make of them is
// tested with those in test_core.
#include "common/failure.h"
#include "common/numbers.h"

#include <QTest>

#include <limits>

using namespace smartcar;

namespace {
const QString kOk;
const QString kNotANumber = QStringLiteral("类型不匹配：「测试」不是数字");
const QString kTooLarge = QStringLiteral("溢出：「测试」超出允许的范围");
constexpr double kInf = std::numeric_limits<double>::infinity();
} // namespace

class TestNumbers : public QObject
{
    Q_OBJECT
private slots:
    void strictReadings_data();
    void strictReadings();
    void plainText_data();
    void plainText();
    void lenientReadings_data();
    void lenientReadings();
};

void TestNumbers::strictReadings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("whole"); // through toWholeNumber rather than toNumber
    QTest::addColumn<QString>("failure");
    QTest::addColumn<double>("value");
    QTest::newRow("explicitPlus") << "+5" << false << kOk << 5.0;
    QTest::newRow("leadingPoint") << ".5" << false << kOk << 0.5;
    QTest::newRow("trailingPoint") << "5." << false << kOk << 5.0;
    QTest::newRow("signedExponent") << "-.5e+3" << false << kOk << -500.0;
    QTest::newRow("smallestDenormal") << "4.9e-324" << false << kOk << 4.9e-324;
    QTest::newRow("upperCaseNegativeExponent") << "25E-1" << false << kOk << 2.5;
    QTest::newRow("underflowIsZeroNotOverflow") << "1e-400" << false << kOk << 0.0;
    QTest::newRow("blanksOnly") << " \t " << false << kNotANumber << 0.0;
    QTest::newRow("trailingUnit") << "45km" << false << kNotANumber << 0.0;
    QTest::newRow("blankInside") << "4 5" << false << kNotANumber << 0.0;
    QTest::newRow("exponentWithoutDigits") << "1e" << false << kNotANumber << 0.0;
    QTest::newRow("infinity") << "-Infinity" << false << kNotANumber << 0.0;
    QTest::newRow("notANumber") << "nan" << false << kNotANumber << 0.0;
    QTest::newRow("hexPrefix") << "0x10" << false << kNotANumber << 0.0;
    QTest::newRow("commaAsDecimalPoint") << "1,5" << false << kNotANumber << 0.0;
    QTest::newRow("fullWidthDigits") << QStringLiteral("１２０") << false << kNotANumber << 0.0;
    QTest::newRow("beyondADouble") << "1e309" << false << kTooLarge << 0.0;
    QTest::newRow("negativeBeyondADouble") << "-1.8e308" << false << kTooLarge << 0.0;
    QTest::newRow("negativeHalfToEven") << "-2.5" << true << kOk << -2.0;
    QTest::newRow("halfBelowSmallestRoundsIn") << "-2147483648.5" << true << kOk << -2147483648.0;
    QTest::newRow("roundsDownIntoRange") << "2147483647.4" << true << kOk << 2147483647.0;
    QTest::newRow("roundsUpOutOfRange") << "2147483647.5" << true << kTooLarge << 0.0;
    QTest::newRow("justBelowSmallest") << "-2147483649" << true << kTooLarge << 0.0;
    QTest::newRow("exponentBeyond32Bits") << "1e10" << true << kTooLarge << 0.0;
}

void TestNumbers::strictReadings()
{
    QFETCH(QString, text);
    QFETCH(bool, whole);
    QFETCH(QString, failure);
    QFETCH(double, value);
    const QString field = QStringLiteral("「测试」");
    try {
        const double got = whole ? double(toWholeNumber(text, field)) : toNumber(text, field);
        QCOMPARE(kOk, failure);
        QCOMPARE(got, value);
    } catch (const Failure& f) {
        QCOMPARE(f.describe(), failure);
    }
}

void TestNumbers::plainText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text"); // "none" when plain notation cannot show it
    QTest::newRow("minusZeroHasNoSign") << -0.0 << "0";
    QTest::newRow("fifteenDigits") << 123456789012345.0 << "123456789012345";
    QTest::newRow("binaryNoiseRoundedAway") << 0.1 + 0.2 << "0.3";
    QTest::newRow("lastDigitRounded") << 1.23456789012345678 << "1.23456789012346";
    QTest::newRow("smallestPlain") << 1e-15 << "0.000000000000001";
    QTest::newRow("tooLarge") << 1e15 << "none";
    QTest::newRow("roundsUpToTooLarge") << 999999999999999.9 << "none";
    QTest::newRow("tooSmall") << 1e-16 << "none";
}

void TestNumbers::plainText()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(toPlainText(value).value_or(QStringLiteral("none")), text);
}

// Both lenient readings of one text.
void TestNumbers::lenientReadings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("hex"); // -1: too large
    QTest::addColumn<double>("decimal");
    QTest::newRow("pointStopsHexOnly") << "60.45" << qint64(0x60) << 60.45;
    QTest::newRow("commaStopsBoth") << "40,5" << qint64(0x40) << 40.0;
    QTest::newRow("hexLetterStopsDecimal") << "A0" << qint64(0xA0) << 0.0;
    QTest::newRow("blankAfterSign") << "- 5" << qint64(0) << -5.0;
    QTest::newRow("secondPointStops") << "1.2.3" << qint64(1) << 1.2;
    QTest::newRow("leadingPoint") << ".5" << qint64(0) << 0.5;
    QTest::newRow("secondSignStops") << "5-3" << qint64(5) << 5.0;
    QTest::newRow("exponentIsHexNotDecimal") << "1e3" << qint64(0x1e3) << 1.0;
    QTest::newRow("leadingZerosDoNotCount") << "000000000FFFFFFFF" << qint64(0xffffffff) << 0.0;
    QTest::newRow("hexWouldWrapToSmall") << "100000001" << qint64(-1) << 100000001.0;
    QTest::newRow("hugeDecimalIsInfinite") << QString(400, u'9') << qint64(-1) << kInf;
    QTest::newRow("hugeNegativeIsInfinite") << "-" + QString(400, u'9') << qint64(0) << -kInf;
    QTest::newRow("tinyIsZero") << "0." + QString(400, u'0') + "1" << qint64(0) << 0.0;
}

void TestNumbers::lenientReadings()
{
    QFETCH(QString, text);
    QFETCH(qint64, hex);
    QFETCH(double, decimal);
    const auto got = readLeadingHex(text);
    QCOMPARE(got ? qint64(*got) : qint64(-1), hex);
    QCOMPARE(readLeadingDecimal(text), decimal);
}

QTEST_APPLESS_MAIN(TestNumbers)
#include "test_numbers.moc"
