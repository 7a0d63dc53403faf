// The console driving the simulated car: the car's decoder and model answer on the
// pseudo-terminal behind COM1, as smartcar-sim does.
#include "carmodel.h"
#include "framedecoder.h"
#include "support/consolefixture.h"

#include <QElapsedTimer>
#include <QTimer>

using namespace smartcar::sim;

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
    // Every 150 ms the car takes what the console sent and answers with its wheel speed.
    FrameDecoder decoder;
    CarModel car;
    QElapsedTimer clock;
    clock.start();
    QTimer period;
    QObject::connect(&period, &QTimer::timeout, [&] {
        const CarModel::Time now{clock.elapsed()};
        for (const Frame& f : decoder.feed(fx.car1.drain()))
            car.apply(f, now);
        fx.car1.write(QByteArray(1, char(car.wheelRpm(now))));
    });
    period.start(150);

    int ticks = 0;
    QObject::connect(fx.get<QTimer>("Timer1"), &QTimer::timeout, [&] { ++ticks; });
    // Whether lblValue shows `text` within `n` more poll ticks (the 60 s guard a stopped poll).
    const auto showsWithin = [&](int n, const char* text) {
        const int until = ticks + n;
        QLabel* value = fx.get<QLabel>("lblValue");
        const auto shows = [&] { return value->text() == QLatin1String(text); };
        return QTest::qWaitFor([&] { return shows() || ticks >= until; }, 60000) && shows();
    };
    fx.click("cmdStart");
    QVERIFY(showsWithin(5, "00R/Min")); // standing still
    fx.click("Advanced");
    QVERIFY(showsWithin(40, "120R/Min")); // the initial speed, 120, settles at 120 rpm
    fx.click("Stop");
    QVERIFY(showsWithin(30, "00R/Min"));
    QVERIFY(fx.boxes.messages().isEmpty());
}

QTEST_MAIN(TestSimConsole)
#include "test_sim_console.moc"
