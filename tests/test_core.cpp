// The operator's text as frame bytes and waits; a poll tick's bytes as caption and lamp. No window.
#include "car/frames.h"
#include "monitor/poll.h"
#include "support/checks.h"

#include <QTest>

using namespace smartcar;
using namespace Qt::StringLiterals;

namespace {

// clang-format off
QString mismatch(const QString& field) { return QStringLiteral("类型不匹配：%1不是数字").arg(field); }
QString overflow(const QString& field) { return QStringLiteral("溢出：%1超出允许的范围").arg(field); }
QString hex(int byte) { return QStringLiteral("0x%1").arg(byte, 2, 16, QLatin1Char('0')); }
QString megabyteOf(char c) { return QString(1 << 20, QLatin1Char(c)); }
// clang-format on

} // namespace

class TestCore : public QObject
{
    Q_OBJECT
private slots:
    void fieldText_data();
    void fieldText();
    void tickReadings_data();
    void tickReadings();
};

void TestCore::fieldText_data()
{
    QTest::addColumn<QString>("field"); // speed, raw (typed in hexadecimal), turn or interval
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result"); // the byte; the time, then for a turn how long it waits
    // clang-format off
    // The decimal digits of half the speed as two 4-bit digits.
    const struct { const char* text; int byte; } speeds[] = {
        {"1", 0x00}, {"2", 0x01}, {"99", 0x49}, {"120.9", 0x60}, {"199", 0x99}, {"1e2", 0x50},
        {"  120\t", 0x60}, {"-0", 0x00}, {"-20", 0x00}, {"-2e300", 0x00}, {"1e-300", 0x00},
    };
    for (const auto& s : speeds)
        QTest::addRow("speed %s", s.text) << u"speed"_s << s.text << hex(s.byte);
    // Half of 100 or more is too fast, even where plain notation fails: "1E+15" is never 0x1E.
    for (const QString& text : {u"200"_s, u"1999999999999998"_s, u"2e15"_s, u"1e999"_s})
        QTest::addRow("tooFast %s", qPrintable(text.left(16)))
            << u"speed"_s << text << overflow(kSpeedField);
    for (const QString& text : {u""_s, u"nan"_s, u"0x10"_s, u"&H10"_s, u"🚗"_s, megabyteOf('z')})
        QTest::addRow("notANumber %s", qPrintable(text.left(8).toHtmlEscaped()))
            << u"speed"_s << text << mismatch(kSpeedField);
    const struct { QString text; int byte; } raws[] = {
        {"ff", 0xFF}, {"0FF", 0xFF}, {"7G", 0x07}, {"G1", 0x00}, {"0x10", 0x00}, {" 3\t0\n", 0x30},
        {"", 0x00}, {QStringLiteral("12") + QChar(0) + "0", 0x12}, {megabyteOf('z'), 0x00},
    };
    for (const auto& r : raws)
        QTest::addRow("raw %s", qPrintable(r.text.left(8).toHtmlEscaped()))
            << u"raw"_s << r.text << hex(r.byte);
    // Too large is refused, never wrapped round to a byte that would go out.
    for (const QString& text : {u"100"_s, QString(32, u'F'), u"100000010"_s, megabyteOf('9')})
        QTest::addRow("tooLarge %s", qPrintable(text.left(12)))
            << u"raw"_s << text << overflow(kCommandField);
    QTest::newRow("turnNegativeWaitsNot") << u"turn"_s << "-20" << "-20 0";
    QTest::newRow("turnHalfRoundsDownToTheLimit") << u"turn"_s << "10000.5" << "10000 10000";
    QTest::newRow("turnJustOverTheLimit") << u"turn"_s << "10000.6"
                                          << u"「转向时间」不能超过 10000 毫秒"_s;
    QTest::newRow("turnLetters") << u"turn"_s << "abc" << mismatch(kTurnTimeField);
    QTest::newRow("turnBeyondInt32") << u"turn"_s << "2147483648" << overflow(kTurnTimeField);
    QTest::newRow("intervalHalfGoesToEven") << u"interval"_s << "12.5" << "12";
    QTest::newRow("intervalNegativeStands") << u"interval"_s << "-20" << "-20";
    QTest::newRow("intervalOverTenSecondsRefused")
        << u"interval"_s << "10001" << u"「采样间隔」不能超过 10000 毫秒"_s;
    QTest::newRow("intervalLetterO") << u"interval"_s << "1O" << mismatch(u"「采样间隔」"_s);
    // clang-format on
}

void TestCore::fieldText()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, result);
    QCOMPARE(outcome([&] {
                 if (field == "speed"_L1 || field == "raw"_L1)
                     return hex(field == "speed"_L1 ? speedByte(text) : rawByte(text));
                 if (field == "interval"_L1)
                     return QString::number(samplingInterval(text));
                 const qint32 ms = turnTime(text);
                 return QStringLiteral("%1 %2").arg(ms).arg(turnWait(ms).count());
             }),
             result);
}

void TestCore::tickReadings_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QString>("alarm");
    QTest::addColumn<QString>("shown"); // the caption, empty for no reading; "lit": the lamp is on
    // clang-format off
    QTest::newRow("nothingReadNoReading") << QByteArray() << "-5" << "";
    QTest::newRow("twoBytesNoReading") << bytes({0xFF, 0xFF}) << "40" << "";
    QTest::newRow("equalSpeedStaysDark") << bytes({0x28}) << "40" << "40R/Min";
    QTest::newRow("oneAboveLights") << bytes({0x29}) << "40" << "41R/Min lit";
    QTest::newRow("hexDigitsBelowAlarmTextStillLight") << bytes({0x3C}) << "40" << "60R/Min lit";
    QTest::newRow("textAboveButSpeedBelowStaysDark") << bytes({0x20}) << "100" << "32R/Min";
    QTest::newRow("fractionalAlarm") << bytes({0x3C}) << "59.9" << "60R/Min lit";
    QTest::newRow("negativeAlarmLightsZero") << bytes({0x00}) << "-5" << "00R/Min lit";
    QTest::newRow("hexAlarmIsZero") << bytes({0x01}) << "A0" << "01R/Min lit";
    QTest::newRow("megabyteOfDigitsNeverReached") << bytes({0xFF}) << megabyteOf('9') << "255R/Min";
    QTest::newRow("nulEndsAlarm") << bytes({0x0D}) << QStringLiteral("12") + QChar(0) + "0"
                                  << "13R/Min lit";
    // clang-format on
}

void TestCore::tickReadings()
{
    QFETCH(QByteArray, received);
    QFETCH(QString, alarm);
    QFETCH(QString, shown);
    const std::optional<quint8> reading = readingOf(received);
    QCOMPARE(reading ? speedCaption(*reading) + (isAlarm(*reading, alarm) ? " lit" : "")
                     : QString(),
             shown);
}

QTEST_APPLESS_MAIN(TestCore)
#include "test_core.moc"
