// The console driving the simulated car: the real main window offscreen, the car's decoder and
// model answering on the pseudo-terminal behind COM1, the way scripts/demo wires them up.
#include "carmodel.h"
#include "console/shape.h"
#include "framedecoder.h"
#include "support/consolefixture.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTimer>

using namespace smartcar;
using namespace smartcar::sim;

namespace {

const QColor kGreen(0, 255, 0);

// The car at the far end of car1: every period it takes what the console sent and answers
// with its wheel speed, as smartcar-sim does.
class CarOnTheLine : public QObject
{
public:
    CarOnTheLine(PtyPair& line, int periodMs)
        : m_line(line)
    {
        m_clock.start();
        connect(&m_period, &QTimer::timeout, this, &CarOnTheLine::step);
        m_period.start(periodMs);
    }

    QStringList framesSeen() const { return m_seen; }

private:
    void step()
    {
        const CarModel::Time now{m_clock.elapsed()};
        for (const Frame& f : m_decoder.feed(m_line.drain())) {
            m_car.apply(f, now);
            m_seen << hexBytes(f.bytes);
        }
        m_line.write(QByteArray(1, char(m_car.wheelRpm(now))));
    }

    PtyPair& m_line;
    QTimer m_period;
    QElapsedTimer m_clock;
    FrameDecoder m_decoder;
    CarModel m_car;
    QStringList m_seen;
};

// The speed lblValue shows, or -1 when it shows none.
int shownSpeed(ConsoleFixture& fx)
{
    static const QRegularExpression reading(QStringLiteral("^(\\d{2,3})R/Min$"));
    const auto m = reading.match(fx.get<QLabel>("lblValue")->text());
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

} // namespace

class TestSimConsole : public QObject
{
    Q_OBJECT
private slots:
    void driveAndBrake();
};

void TestSimConsole::driveAndBrake()
{
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    fx.edit("MaxSpeed")->setText(QStringLiteral("40"));
    CarOnTheLine car(fx.car1, 150);

    auto* timer = fx.get<QTimer>("Timer1");
    int ticks = 0;
    QObject::connect(timer, &QTimer::timeout, [&] { ++ticks; });
    // Waits until `done` holds or the poll has ticked `maxTicks` more times. The clock only
    // guards against a poll that never ticks; it is no claim about speed.
    auto withinTicks = [&](int maxTicks, const std::function<bool()>& done) {
        const int from = ticks;
        QElapsedTimer guard;
        guard.start();
        while (!done() && ticks - from < maxTicks && guard.elapsed() < 60000)
            QTest::qWait(20);
        return done();
    };

    fx.click("cmdStart");
    QVERIFY(timer->isActive());
    QVERIFY(!withinTicks(5, [&] { return shownSpeed(fx) > 0; })); // standing still: 00R/Min

    fx.click("Advanced");
    QVERIFY(withinTicks(30, [&] { return shownSpeed(fx) > 0; }));
    QVERIFY(car.framesSeen().contains(QStringLiteral("85 60")));
    // Speed 120 settles at 120 rpm (0x78), which sorts after the alarm speed 40.
    QVERIFY(withinTicks(40, [&] { return fx.get<Shape>("LED1")->fillColor() == kGreen; }));
    QVERIFY(shownSpeed(fx) <= 120);

    fx.click("Stop");
    QVERIFY(withinTicks(30, [&] {
        return fx.get<QLabel>("lblValue")->text() == QLatin1String("00R/Min");
    }));
    QVERIFY(car.framesSeen().contains(QStringLiteral("87")));
    QCOMPARE(fx.get<Shape>("LED1")->fillColor(), kGreen); // the lamp stays lit
    QVERIFY(fx.boxes.messages().isEmpty());
}

QTEST_MAIN(TestSimConsole)
#include "test_sim_console.moc"
