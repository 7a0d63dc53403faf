// The number readings; what each field makes of them is tested in test_core.
#include "common/failure.h"
#include "common/numbers.h"

#include <QTest>

#include <cmath>

using namespace smartcar;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(smartcar::Failure::Kind)

namespace {
// The kind of failure `read` ends with; it must end with one.
template <typename F>
std::optional<Failure::Kind> failureOf(F read)
{
    try {
        read();
    } catch (const Failure& f) {
        return f.kind();
    }
    return std::nullopt;
}
} // namespace

class TestNumbers : public QObject
{
    Q_OBJECT
private slots:
    void strictNumber_data();
    void strictNumber();
    void strictNumberRefused_data();
    void strictNumberRefused();
    void wholeNumber_data();
    void wholeNumber();
    void plainText_data();
    void plainText();
    void leadingNumbers_data();
    void leadingNumbers();
};

void TestNumbers::strictNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("explicitPlusTrailingPoint") << u"+5."_s << 5.0;
    QTest::newRow("signedExponentEitherCase") << u"-.5E-3"_s << -0.0005;
    QTest::newRow("underflowIsZeroNotOverflow") << u"1e-400"_s << 0.0;
}

void TestNumbers::strictNumber()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(toNumber(text, {}), value);
}

void TestNumbers::strictNumberRefused_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Failure::Kind>("kind");
    QTest::newRow("trailingUnit") << u"45km"_s << Failure::Kind::TypeMismatch;
    QTest::newRow("nulInside") << u"12"_s + QChar(0) + u"0"_s << Failure::Kind::TypeMismatch;
    QTest::newRow("exponentWithoutDigits") << u"1e"_s << Failure::Kind::TypeMismatch;
    QTest::newRow("fullWidthDigits") << u"１２０"_s << Failure::Kind::TypeMismatch;
    QTest::newRow("beyondADouble") << u"-1.8e308"_s << Failure::Kind::Overflow;
}

void TestNumbers::strictNumberRefused()
{
    QFETCH(QString, text);
    QFETCH(Failure::Kind, kind);
    QCOMPARE(failureOf([&] { toNumber(text, {}); }), kind);
}

void TestNumbers::wholeNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint32>("value");
    QTest::addColumn<bool>("overflows");
    QTest::newRow("negativeHalfToEven") << u"-2.5"_s << -2 << false;
    QTest::newRow("halfBelowSmallestRoundsIn") << u"-2147483648.5"_s << INT32_MIN << false;
    QTest::newRow("roundsUpOutOfRange") << u"2147483647.5"_s << 0 << true;
    QTest::newRow("justBelowSmallest") << u"-2147483649"_s << 0 << true;
}

void TestNumbers::wholeNumber()
{
    QFETCH(QString, text);
    QFETCH(qint32, value);
    QFETCH(bool, overflows);
    if (overflows)
        QCOMPARE(failureOf([&] { toWholeNumber(text, {}); }), Failure::Kind::Overflow);
    else
        QCOMPARE(toWholeNumber(text, {}), value);
}

void TestNumbers::plainText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text"); // null: plain notation cannot show it
    QTest::newRow("lastDigitRounded") << 1.23456789012345678 << u"1.23456789012346"_s;
    QTest::newRow("smallestPlain") << 1e-15 << u"0.000000000000001"_s;
    QTest::newRow("roundsUpToTooLarge") << 999999999999999.9 << QString();
}

void TestNumbers::plainText()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(toPlainText(value).value_or(QString()), text);
}

void TestNumbers::leadingNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("hex"); // -1: too large for 32 bits
    QTest::addColumn<double>("decimal");
    QTest::newRow("commaStopsBoth") << u"40,5"_s << qint64(0x40) << 40.0;
    QTest::newRow("blankAfterSign") << u"- 5"_s << qint64(0) << -5.0;
    QTest::newRow("secondPointStops") << u"1.2.3"_s << qint64(1) << 1.2;
    QTest::newRow("exponentIsHexNotDecimal") << u"1e3"_s << qint64(0x1e3) << 1.0;
    QTest::newRow("leadingZerosDoNotCount") << u"000000000FFFFFFFF"_s << qint64(0xFFFFFFFF) << 0.0;
    QTest::newRow("longRunIsTooLargeNotWrapped") << u"100000000"_s << qint64(-1) << 1e8;
    QTest::newRow("hugeNegativeIsInfinite")
        << u"-"_s + QString(400, u'9') << qint64(0) << -HUGE_VAL;
    QTest::newRow("tinyIsZero") << u"0."_s + QString(400, u'0') + u"1"_s << qint64(0) << 0.0;
}

void TestNumbers::leadingNumbers()
{
    QFETCH(QString, text);
    QFETCH(qint64, hex);
    QFETCH(double, decimal);
    QCOMPARE(readLeadingHex(text), hex < 0 ? std::nullopt : std::optional<quint32>(quint32(hex)));
    QCOMPARE(readLeadingDecimal(text), decimal);
}

QTEST_APPLESS_MAIN(TestNumbers)
#include "test_numbers.moc"
