// The simulated car: its decoder and model on their own clock, and the program on a pty.
#include "sim/carmodel.h"
#include "sim/line.h"
#include "sim/rawpty.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace smartcar {

using namespace sim;

// The device path the car prints first, or empty if none came.
static QString start(QProcess& sim, const QStringList& args)
{
    sim.start(QStringLiteral(SMARTCAR_SIM_BINARY), args);
    while (!sim.canReadLine() && sim.waitForReadyRead(10000)) {
    }
    return QString::fromLocal8Bit(sim.readLine()).trimmed();
}

// Bytes read off the line at a moment (ms), and the wheels' signed speed at one.
using Reads = QList<std::pair<int, QByteArray>>;
using Velocities = QList<std::pair<int, int>>;

// How the car's run ends: its adapter pulled, or on a terminal of its own, timed out or told to.
enum class Ending { AdapterPulled, DurationOver, Sigterm };

class TestSim : public QObject
{
    Q_OBJECT
private slots:
    void wheelsFollowCommands_data()
    {
        QTest::addColumn<Reads>("reads"); // off the line, in time order
        QTest::addColumn<Velocities>("velocities");
        QTest::newRow("rampsUpOverASecondThroughOtherFrames")
            << Reads{{0, "\x85\x60"}, {500, "\x81"}, {500, "\x88"}, {500, "\x10"}}
            << Velocities{{0, 0}, {250, 30}, {1000, 120}, {9000, 120}};
        QTest::newRow("speedByteWaitedForAcrossReads")
            << Reads{{0, "\x85"}, {300, "\x60"}} << Velocities{{300, 0}, {800, 60}, {1300, 120}};
        QTest::newRow("speedCodeTakenAsSpeedByte")
            << Reads{{0, "\x85"}, {0, "\x85"}, {0, "\x60"}} << Velocities{{1000, 170}};
        QTest::newRow("zeroSpeedByteIsASpeed")
            << Reads{{0, "\x85\x60"}, {1000, {"\x85\0", 2}}} << Velocities{{1500, 60}, {2000, 0}};
        QTest::newRow("brakeMidRampStopsAtOnce")
            << Reads{{0, "\x85\x60"}, {300, "\x87"}} << Velocities{{300, 0}, {1300, 0}};
        QTest::newRow("reversingPassesStandstill")
            << Reads{{0, "\x85\x60"}, {1000, "\x86\x60"}} << Velocities{{1750, -60}, {2000, -120}};
        QTest::newRow("hotStartDigitsAbove9CappedAtOneByte")
            << Reads{{0, "\x8a\xff"}} << Velocities{{1000, 255}};
    }
    void wheelsFollowCommands()
    {
        QFETCH(Reads, reads);
        QFETCH(Velocities, velocities);
        CarModel car;
        FrameDecoder decoder;
        for (const auto& [ms, bytes] : reads)
            for (const Frame& f : decoder.feed(bytes))
                car.apply(f, CarModel::Time(ms));
        for (const auto& [ms, signedRpm] : velocities) {
            const CarModel::Time at(ms);
            const QByteArray when = QByteArray::number(ms);
            QVERIFY2(car.wheelVelocity(at) == signedRpm, when.constData());
            QVERIFY2(car.wheelRpm(at) == qAbs(signedRpm), when.constData());
        }
    }

    void carOnALine_data()
    {
        QTest::addColumn<Ending>("ending");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("adapterPulledEndsIt") << Ending::AdapterPulled << 1;
        QTest::newRow("ownTerminalEndsAtItsDuration") << Ending::DurationOver << 0;
        QTest::newRow("ownTerminalEndsCleanlyOnSigterm") << Ending::Sigterm << 0;
    }
    void carOnALine()
    {
        QFETCH(Ending, ending);
        QFETCH(int, exitCode);
        const bool adapter = ending == Ending::AdapterPulled;
        const bool timed = ending == Ending::DurationOver;
        RawPty pty;
        QString error;
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("car"));
        // A link left behind by a car that was killed is taken over, and removed at the end.
        QVERIFY(adapter ? openRawPty(&pty, &error)
                        : QFile::link(QStringLiteral("/dev/pts/gone-car"), link));
        const auto args = adapter ? QStringList{"--device", pty.path} : QStringList{"--link", link};
        const QDeadlineTimer twoSeconds(2000);
        QProcess sim;
        const QString device =
            start(sim, args + QStringList{"--period", "5", "--duration", timed ? "2" : "60"});
        termios t{};
        const bool raw = ::tcgetattr(pty.slave, &t) == 0 && ::cfgetospeed(&t) == B9600;
        QVERIFY(!adapter
                || (device == pty.path && raw && (t.c_cflag & (CSIZE | PARENB | CSTOPB)) == CS8));
        int console = pty.master;
        if (!adapter) {
            QCOMPARE(QFileInfo(link).symLinkTarget(), device);
            // The console closes the port and opens it again: the car is still there.
            const int flags = O_RDWR | O_NOCTTY | O_NONBLOCK;
            ::close(::open(qPrintable(link), flags));
            console = ::open(qPrintable(link), flags);
        }
        QVERIFY(::write(console, "\x85\x60", 2) == 2); // advance at 120: the wheels speed up
        quint8 rpm = 0; // the first reading that is not 0 (given up after 4000, or 5 s of silence)
        pollfd line{console, POLLIN, 0};
        for (int n = 0; rpm == 0 && n < 4000 && ::poll(&line, 1, 5000) > 0; ++n)
            QVERIFY(::read(console, &rpm, 1) == 1);
        QVERIFY2(rpm > 0 && rpm < 120, qPrintable(QString::number(rpm))); // rising, not jumping

        // Pulled, the car notices and ends rather than spin on a dead line; told to, it ends.
        ::close(console);
        if (adapter)
            ::close(pty.slave);
        else if (ending == Ending::Sigterm)
            ::kill(pid_t(sim.processId()), SIGTERM);
        QTRY_COMPARE_WITH_TIMEOUT(sim.state(), QProcess::NotRunning, 10000);
        QVERIFY(sim.exitStatus() == QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), exitCode);
        QVERIFY(!adapter || sim.readAllStandardError().contains("the line has gone"));
        QVERIFY(!timed || twoSeconds.hasExpired()); // --duration 2 never ends early
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void untakenReadingsPileUpNoFurther() // a reopened port would read a heap of old speeds
    {
        Line line;
        QString error;
        QVERIFY2(line.openPseudoTerminal(&error), qPrintable(error));
        const int console = ::open(qPrintable(line.devicePath()), O_RDWR | O_NOCTTY);
        const auto closeConsole = qScopeGuard([&] { ::close(console); });
        const auto waiting = [&] {
            int n = -1;
            ::ioctl(console, FIONREAD, &n);
            return n;
        };
        int most = 0;
        for (int i = 0; i < 2 * kMaxUntakenReadings; ++i) {
            const int before = waiting();
            QVERIFY(line.send(quint8(i)));
            // The pseudo-terminal passes a byte on a moment later; it is counted once it has.
            QVERIFY(QTest::qWaitFor([&] { return waiting() > 0 && waiting() != before; }));
            most = std::max(most, waiting());
        }
        QVERIFY2(most <= kMaxUntakenReadings, qPrintable(QString::number(most)));
    }

    // The readings of a recording, each at its offset from the first, then again with --loop;
    // the recording's frames are the console's, never sent back.
    void replaysARecordingsReadings()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("run.csv")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\xEF\xBB\xBF时间,方向,字节,含义,速度(R/Min),报警灯\r\n"
                   "2026-12-07T09:05:03.000+08:00,接收,10,,16,灭\r\n"
                   "2026-12-07T09:05:03.100+08:00,发送,85 60,,,灭\r\n"
                   "2026-12-07T09:05:03.300+08:00,接收,20,,32,灭\r\n");
        file.close();
        QProcess sim;
        const QString device = start(sim, {"--replay", file.fileName(), "--loop"});
        const int console = ::open(qPrintable(device), O_RDWR | O_NOCTTY);
        const auto closeConsole = qScopeGuard([&] { ::close(console); });
        QElapsedTimer clock;
        clock.start();
        QByteArray got;
        QList<qint64> at;
        pollfd line{console, POLLIN, 0};
        while (got.size() < 4 && ::poll(&line, 1, 5000) > 0) {
            char byte = 0;
            QVERIFY(::read(console, &byte, 1) == 1);
            got += byte;
            at << clock.elapsed();
        }
        QCOMPARE(got, QByteArray("\x10\x20\x10\x20"));
        QVERIFY2(at[1] - at[0] >= 290, qPrintable(QString::number(at[1] - at[0])));
        ::kill(pid_t(sim.processId()), SIGTERM);
        QTRY_COMPARE_WITH_TIMEOUT(sim.state(), QProcess::NotRunning, 10000);
        QVERIFY(sim.readAllStandardError().contains("2 recorded readings"));
    }

    void badStartIsRefused() // and a plain file where the link should go is left alone
    {
        QTemporaryFile file;
        QVERIFY(file.open());
        QVERIFY(file.write("keep me") == 7);
        QVERIFY(file.flush());
        QProcess sim;
        QCOMPARE(start(sim, {"--period", "0", "--link", file.fileName()}), QString());
        QTRY_COMPARE_WITH_TIMEOUT(sim.state(), QProcess::NotRunning, 10000);
        QVERIFY(sim.exitCode() > 0);
        QVERIFY(!sim.readAllStandardError().isEmpty());
        const QFileInfo after(file.fileName());
        QVERIFY(after.isFile());
        QVERIFY(!after.isSymLink());
        QVERIFY(after.size() == 7);
    }
};

} // namespace smartcar

QTEST_GUILESS_MAIN(smartcar::TestSim)
#include "test_sim.moc"
