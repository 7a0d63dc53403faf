// What the console computes from the operator's text and the car's bytes, without a window:
// the frame bytes, the turn time, and what a poll tick shows and whether it lights the lamp.
#include "car/frames.h"
#include "common/failure.h"
#include "monitor/poll.h"

#include <QTest>

#include <functional>

using namespace smartcar;

namespace {

QString mismatch(const QString& field) { return QStringLiteral("类型不匹配：%1不是数字").arg(field); }
QString overflow(const QString& field) { return QStringLiteral("溢出：%1超出允许的范围").arg(field); }
QString hex(int byte) { return QStringLiteral("0x%1").arg(byte, 2, 16, QLatin1Char('0')); }

QString outcome(const std::function<QString()>& step)
{
    try {
        return step();
    } catch (const Failure& f) {
        return f.describe();
    }
}

const QString kTurnTooLong = QStringLiteral("「转向时间」超出范围：0 到 10000 毫秒");

QString megabyteOf(char c) { return QString(1 << 20, QLatin1Char(c)); }

} // namespace

class TestCore : public QObject
{
    Q_OBJECT
private slots:
    void speedBytes_data();
    void speedBytes();
    void rawBytes_data();
    void rawBytes();
    void turnTimes_data();
    void turnTimes();
    void tickReadings_data();
    void tickReadings();
};

void TestCore::speedBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");
    // The decimal digits of half the speed as two 4-bit digits.
    const struct { const char* text; int byte; } speeds[] = {
        {"0", 0x00}, {"1", 0x00}, {"2", 0x01}, {"20", 0x10}, {"99", 0x49}, {"120", 0x60},
        {"121", 0x60}, {"120.9", 0x60}, {"198", 0x99}, {"199", 0x99}, {"  120\t", 0x60},
        {"1e2", 0x50}, {"-0", 0x00}, {"-20", 0x00}, {"-2e300", 0x00}, {"1e-300", 0x00},
    };
    for (const auto& s : speeds)
        QTest::addRow("speed %s", s.text) << s.text << hex(s.byte);
    // A half of 100 or more is too fast, also when plain notation cannot show it: "1E+15"
    // must never become 0x1E.
    for (const char* text : {"200", "255", "1999999999999998", "2e15", "2e300", "1e999"})
        QTest::addRow("tooFast %s", text) << text << overflow(kSpeedField);
    QTest::newRow("megabyteOfDigitsTooFast") << megabyteOf('9') << overflow(kSpeedField);
    const QString notNumbers[] = {
        "", " \t ", "xyz", "inf", "nan", "0x10", "0x1p3", "&H10", QStringLiteral("１２０"),
        QStringLiteral("١٢٠"), QStringLiteral("🚗"), QStringLiteral("12") + QChar(0) + "0",
        megabyteOf('z'),
    };
    for (const QString& text : notNumbers)
        QTest::addRow("notANumber %s", qPrintable(text.left(8).toHtmlEscaped()))
            << text << mismatch(kSpeedField);
}

void TestCore::speedBytes()
{
    QFETCH(QString, text);
    QFETCH(QString, result);
    QCOMPARE(outcome([&] { return hex(speedByte(text)); }), result);
}

void TestCore::rawBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");
    const struct { QString text; int byte; } raws[] = {
        {"ff", 0xFF}, {"FF", 0xFF}, {"0FF", 0xFF}, {"7G", 0x07}, {"G1", 0x00}, {"-5", 0x00},
        {"0x10", 0x00}, {" 3\t0\n", 0x30}, {"", 0x00}, {"inf", 0x00},
        {QStringLiteral("12") + QChar(0) + "0", 0x12}, {megabyteOf('z'), 0x00},
    };
    for (const auto& r : raws)
        QTest::addRow("raw %s", qPrintable(r.text.left(8).toHtmlEscaped())) << r.text << hex(r.byte);
    // Too large is refused, never wrapped round to a byte that would go out.
    for (const QString& text : {QStringLiteral("100"), QStringLiteral("1e309"),
                                QString(32, u'F'), QStringLiteral("100000010"), megabyteOf('9')})
        QTest::addRow("tooLarge %s", qPrintable(text.left(12))) << text << overflow(kCommandField);
}

void TestCore::rawBytes()
{
    QFETCH(QString, text);
    QFETCH(QString, result);
    QCOMPARE(outcome([&] { return hex(rawByte(text)); }), result);
}

void TestCore::turnTimes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result"); // the turn time, then how long the turn waits
    QTest::newRow("initial") << "2000" << "2000 2000";
    QTest::newRow("halfGoesToEven") << "2.5" << "2 2";
    QTest::newRow("negativeWaitsNot") << "-20" << "-20 0";
    QTest::newRow("tenSecondsIsTheLongest") << "10000" << "10000 10000";
    QTest::newRow("halfRoundsDownToTheLimit") << "10000.5" << "10000 10000";
    QTest::newRow("justOverTheLimit") << "10000.6" << kTurnTooLong;
    QTest::newRow("weeksAreRefusedNotWaited") << "2147483647" << kTurnTooLong;
    QTest::newRow("letters") << "abc" << mismatch(kTurnTimeField);
    QTest::newRow("empty") << "" << mismatch(kTurnTimeField);
    QTest::newRow("beyondInt32") << "2147483648" << overflow(kTurnTimeField);
    QTest::newRow("belowInt32") << "-3e9" << overflow(kTurnTimeField);
}

void TestCore::turnTimes()
{
    QFETCH(QString, text);
    QFETCH(QString, result);
    QCOMPARE(outcome([&] {
                 const qint32 ms = turnTime(text);
                 return QStringLiteral("%1 %2").arg(ms).arg(turnWait(ms).count());
             }),
             result);
}

void TestCore::tickReadings_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QString>("alarm");
    QTest::addColumn<QString>("caption"); // empty: the tick has no reading
    QTest::addColumn<bool>("lit");
    const auto b = [](std::initializer_list<int> v) {
        QByteArray out;
        for (int x : v)
            out.append(char(x));
        return out;
    };
    QTest::newRow("nothingReadNoReading") << QByteArray() << "-5" << "" << false;
    QTest::newRow("twoBytesNoReading") << b({0xFF, 0xFF}) << "40" << "" << false;
    QTest::newRow("zeroHasTwoDigits") << b({0x00}) << "40" << "00R/Min" << false;
    QTest::newRow("singleDigitGetsLeadingZero") << b({0x05}) << "40" << "05R/Min" << false;
    QTest::newRow("tenInDecimal") << b({0x0A}) << "40" << "10R/Min" << false;
    QTest::newRow("equalSpeedStaysDark") << b({0x28}) << "40" << "40R/Min" << false;
    QTest::newRow("oneAboveLights") << b({0x29}) << "40" << "41R/Min" << true;
    QTest::newRow("hexDigitsBelowAlarmTextStillLight") << b({0x3C}) << "40" << "60R/Min" << true;
    QTest::newRow("textAboveButSpeedBelowStaysDark") << b({0x20}) << "100" << "32R/Min" << false;
    QTest::newRow("topByte") << b({0xFF}) << "40" << "255R/Min" << true;
    QTest::newRow("topByteNeverPassesItsOwnValue") << b({0xFF}) << "255" << "255R/Min" << false;
    QTest::newRow("fractionalAlarm") << b({0x3C}) << "59.9" << "60R/Min" << true;
    QTest::newRow("negativeAlarmLightsZero") << b({0x00}) << "-5" << "00R/Min" << true;
    QTest::newRow("unitAfterAlarmDigits") << b({0x2E}) << "45km" << "46R/Min" << true;
    QTest::newRow("blankInsideAlarmDigits") << b({0x2D}) << "4 5" << "45R/Min" << false;
    QTest::newRow("commaEndsAlarm") << b({0x29}) << "40,5" << "41R/Min" << true;
    QTest::newRow("lettersAlarmIsZero") << b({0x01}) << "abc" << "01R/Min" << true;
    QTest::newRow("zeroUnderLettersAlarmStaysDark") << b({0x00}) << "abc" << "00R/Min" << false;
    QTest::newRow("hexAlarmIsZero") << b({0x01}) << "A0" << "01R/Min" << true;
    QTest::newRow("megabyteOfDigitsNeverReached") << b({0xFF}) << megabyteOf('9') << "255R/Min" << false;
    QTest::newRow("nulEndsAlarm") << b({0x0D}) << QStringLiteral("12") + QChar(0) + "0" << "13R/Min" << true;
}

void TestCore::tickReadings()
{
    QFETCH(QByteArray, received);
    QFETCH(QString, alarm);
    QFETCH(QString, caption);
    QFETCH(bool, lit);
    const std::optional<quint8> reading = readingOf(received);
    QCOMPARE(reading ? speedCaption(*reading) : QString(), caption);
    QCOMPARE(reading && isAlarm(*reading, alarm), lit);
}

QTEST_APPLESS_MAIN(TestCore)
#include "test_core.moc"
