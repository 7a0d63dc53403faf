// The number readings; what each field makes of them is tested in test_core.
#include "common/failure.h"
#include "common/numbers.h"

#include <QTest>

using namespace smartcar;
using namespace Qt::StringLiterals;

class TestNumbers : public QObject
{
    Q_OBJECT
private slots:
    void readings_data();
    void readings();
};

void TestNumbers::readings_data()
{
    // "number" and "whole" read strictly, "plain" writes the number the text stands for,
    // "lenient" reads a leading hex number ("none": too large) and a leading decimal.
    QTest::addColumn<QString>("reading");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");
    const auto row = [](const char* name, const char* reading, const QString& text,
                        const char* result) {
        QTest::newRow(name) << QString::fromLatin1(reading) << text << QString::fromLatin1(result);
    };
    row("explicitPlusTrailingPoint", "number", "+5.", "5");
    row("signedExponentEitherCase", "number", "-.5E-3", "-5e-04");
    row("underflowIsZeroNotOverflow", "number", "1e-400", "0");
    row("trailingUnit", "number", "45km", "notANumber");
    row("nulInside", "number", u"12"_s + QChar(0) + u"0"_s, "notANumber");
    row("exponentWithoutDigits", "number", "1e", "notANumber");
    row("fullWidthDigits", "number", u"１２０"_s, "notANumber");
    row("beyondADouble", "number", "-1.8e308", "tooLarge");
    row("negativeHalfToEven", "whole", "-2.5", "-2");
    row("halfBelowSmallestRoundsIn", "whole", "-2147483648.5", "-2147483648");
    row("roundsUpOutOfRange", "whole", "2147483647.5", "tooLarge");
    row("justBelowSmallest", "whole", "-2147483649", "tooLarge");
    row("lastDigitRounded", "plain", "1.23456789012345678", "1.23456789012346");
    row("smallestPlain", "plain", "1e-15", "0.000000000000001");
    row("roundsUpToTooLarge", "plain", "999999999999999.9", "none");
    row("commaStopsBoth", "lenient", "40,5", "40 40");
    row("blankAfterSign", "lenient", "- 5", "0 -5");
    row("secondPointStops", "lenient", "1.2.3", "1 1.2");
    row("exponentIsHexNotDecimal", "lenient", "1e3", "1e3 1");
    row("leadingZerosDoNotCount", "lenient", "000000000FFFFFFFF", "ffffffff 0");
    row("hugeNegativeIsInfinite", "lenient", "-" + QString(400, u'9'), "0 -inf");
    row("tinyIsZero", "lenient", "0." + QString(400, u'0') + "1", "0 0");
}

void TestNumbers::readings()
{
    QFETCH(QString, reading);
    QFETCH(QString, text);
    QFETCH(QString, result);
    const auto shortest = [](double v) {
        return QString::number(v, 'g', QLocale::FloatingPointShortest);
    };
    QString got;
    try {
        if (reading == "number"_L1)
            got = shortest(toNumber(text, {}));
        else if (reading == "whole"_L1)
            got = QString::number(toWholeNumber(text, {}));
        else if (reading == "plain"_L1)
            got = toPlainText(text.toDouble()).value_or(u"none"_s);
        else
            got = (readLeadingHex(text) ? QString::number(*readLeadingHex(text), 16) : u"none"_s)
                + u' ' + shortest(readLeadingDecimal(text));
    } catch (const Failure& f) {
        got = f.kind() == Failure::Kind::Overflow ? u"tooLarge"_s : u"notANumber"_s;
    }
    QCOMPARE(got, result);
}

QTEST_APPLESS_MAIN(TestNumbers)
#include "test_numbers.moc"
