// What the console computes from the operator's text and the car's bytes, without a window: the
// frame bytes, the waits, and what a poll tick shows and whether it lights the lamp.
#include "car/frames.h"
#include "common/failure.h"
#include "monitor/poll.h"
#include "support/bytes.h"

#include <QTest>

#include <functional>

using namespace smartcar;
using namespace Qt::StringLiterals;

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
    void frameBytes_data();
    void frameBytes();
    void waits_data();
    void waits();
    void tickReadings_data();
    void tickReadings();
};

void TestCore::frameBytes_data()
{
    QTest::addColumn<bool>("speed"); // otherwise the raw byte typed in hexadecimal
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");
    // The decimal digits of half the speed as two 4-bit digits.
    const struct { const char* text; int byte; } speeds[] = {
        {"0", 0x00}, {"1", 0x00}, {"2", 0x01}, {"20", 0x10}, {"99", 0x49}, {"120", 0x60},
        {"120.9", 0x60}, {"198", 0x99}, {"199", 0x99}, {"  120\t", 0x60},
        {"1e2", 0x50}, {"-0", 0x00}, {"-20", 0x00}, {"-2e300", 0x00}, {"1e-300", 0x00},
    };
    for (const auto& s : speeds)
        QTest::addRow("speed %s", s.text) << true << s.text << hex(s.byte);
    // A half of 100 or more is too fast, also when plain notation cannot show it: "1E+15"
    // must never become 0x1E.
    for (const QString& text : {u"200"_s, u"255"_s, u"1999999999999998"_s, u"2e15"_s, u"2e300"_s,
                                u"1e999"_s, megabyteOf('9')})
        QTest::addRow("tooFast %s", qPrintable(text.left(16))) << true << text << overflow(kSpeedField);
    for (const QString& text : {u""_s, u" \t "_s, u"xyz"_s, u"inf"_s, u"nan"_s, u"0x10"_s, u"&H10"_s,
                                u"🚗"_s, megabyteOf('z')})
        QTest::addRow("notANumber %s", qPrintable(text.left(8).toHtmlEscaped()))
            << true << text << mismatch(kSpeedField);
    const struct { QString text; int byte; } raws[] = {
        {"ff", 0xFF}, {"FF", 0xFF}, {"0FF", 0xFF}, {"7G", 0x07}, {"G1", 0x00}, {"-5", 0x00},
        {"0x10", 0x00}, {" 3\t0\n", 0x30}, {"", 0x00}, {"inf", 0x00},
        {QStringLiteral("12") + QChar(0) + "0", 0x12}, {megabyteOf('z'), 0x00},
    };
    for (const auto& r : raws)
        QTest::addRow("raw %s", qPrintable(r.text.left(8).toHtmlEscaped()))
            << false << r.text << hex(r.byte);
    // Too large is refused, never wrapped round to a byte that would go out.
    for (const QString& text :
         {u"100"_s, u"1e309"_s, QString(32, u'F'), u"100000010"_s, megabyteOf('9')})
        QTest::addRow("tooLarge %s", qPrintable(text.left(12)))
            << false << text << overflow(kCommandField);
}

void TestCore::frameBytes()
{
    QFETCH(bool, speed);
    QFETCH(QString, text);
    QFETCH(QString, result);
    QCOMPARE(outcome([&] { return hex(speed ? speedByte(text) : rawByte(text)); }), result);
}

void TestCore::waits_data()
{
    QTest::addColumn<bool>("turn"); // otherwise the poll's sampling interval
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result"); // the time, then for a turn how long it waits
    QTest::newRow("turnInitial") << true << "2000" << "2000 2000";
    QTest::newRow("turnNegativeWaitsNot") << true << "-20" << "-20 0";
    QTest::newRow("turnHalfRoundsDownToTheLimit") << true << "10000.5" << "10000 10000";
    QTest::newRow("turnJustOverTheLimit") << true << "10000.6" << kTurnTooLong;
    QTest::newRow("turnLetters") << true << "abc" << mismatch(kTurnTimeField);
    QTest::newRow("turnBeyondInt32") << true << "2147483648" << overflow(kTurnTimeField);
    QTest::newRow("intervalHalfGoesToEven") << false << "12.5" << "12";
    QTest::newRow("intervalNegativeStands") << false << "-20" << "-20";
    QTest::newRow("intervalOverTenSecondsRefused")
        << false << "10001" << QStringLiteral("「采样间隔」超出范围：0 到 10000 毫秒");
    QTest::newRow("intervalLetterO") << false << "1O" << mismatch(QStringLiteral("「采样间隔」"));
}

void TestCore::waits()
{
    QFETCH(bool, turn);
    QFETCH(QString, text);
    QFETCH(QString, result);
    QCOMPARE(outcome([&] {
                 if (!turn)
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
    QTest::newRow("nothingReadNoReading") << QByteArray() << "-5" << "";
    QTest::newRow("twoBytesNoReading") << bytes({0xFF, 0xFF}) << "40" << "";
    QTest::newRow("equalSpeedStaysDark") << bytes({0x28}) << "40" << "40R/Min";
    QTest::newRow("oneAboveLights") << bytes({0x29}) << "40" << "41R/Min lit";
    QTest::newRow("hexDigitsBelowAlarmTextStillLight") << bytes({0x3C}) << "40" << "60R/Min lit";
    QTest::newRow("textAboveButSpeedBelowStaysDark") << bytes({0x20}) << "100" << "32R/Min";
    QTest::newRow("topByte") << bytes({0xFF}) << "40" << "255R/Min lit";
    QTest::newRow("fractionalAlarm") << bytes({0x3C}) << "59.9" << "60R/Min lit";
    QTest::newRow("negativeAlarmLightsZero") << bytes({0x00}) << "-5" << "00R/Min lit";
    QTest::newRow("blankInsideAlarmDigits") << bytes({0x2D}) << "4 5" << "45R/Min";
    QTest::newRow("zeroUnderLettersAlarmStaysDark") << bytes({0x00}) << "abc" << "00R/Min";
    QTest::newRow("hexAlarmIsZero") << bytes({0x01}) << "A0" << "01R/Min lit";
    QTest::newRow("megabyteOfDigitsNeverReached") << bytes({0xFF}) << megabyteOf('9') << "255R/Min";
    QTest::newRow("nulEndsAlarm") << bytes({0x0D}) << QStringLiteral("12") + QChar(0) + "0" << "13R/Min lit";
}

void TestCore::tickReadings()
{
    QFETCH(QByteArray, received);
    QFETCH(QString, alarm);
    QFETCH(QString, shown);
    const std::optional<quint8> reading = readingOf(received);
    QCOMPARE(reading ? speedCaption(*reading) + (isAlarm(*reading, alarm) ? " lit" : "") : QString(),
             shown);
}

QTEST_APPLESS_MAIN(TestCore)
#include "test_core.moc"
