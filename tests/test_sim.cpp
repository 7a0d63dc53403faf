// The simulated car: its decoder and model on their own clock, and the smartcar-sim program on
// a pseudo-terminal, either one standing in for an adapter or the car's own.
#include "carmodel.h"
#include "line.h"
#include "rawpty.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace smartcar::sim;

namespace {

// Readings from the console's end `fd` until one is `stop` (the poll's limit is a hang guard).
QByteArray readUntil(int fd, bool (*stop)(quint8))
{
    QByteArray got;
    char buf[4096];
    pollfd p{fd, POLLIN, 0};
    for (int i = 0; i < 300 && !std::any_of(got.begin(), got.end(), stop); ++i)
        for (ssize_t n = ::poll(&p, 1, 5000); n > 0 && (n = ::read(fd, buf, sizeof buf)) > 0;)
            got.append(buf, n);
    return got;
}

// Starts the car; the device path it prints first, or empty if none came.
QString start(QProcess& sim, const QStringList& args)
{
    sim.start(QStringLiteral(SMARTCAR_SIM_BINARY), args);
    while (!sim.canReadLine() && sim.waitForReadyRead(10000)) {
    }
    return QString::fromLocal8Bit(sim.readLine()).trimmed();
}

// Its exit code once it has ended of itself; -1 for a crash or no end within ten seconds.
int exitCode(QProcess& sim)
{
    const bool ended = sim.waitForFinished(10000) || sim.state() == QProcess::NotRunning;
    return ended && sim.exitStatus() == QProcess::NormalExit ? sim.exitCode() : -1;
}

} // namespace

class TestSim : public QObject
{
    Q_OBJECT
private slots:
    void wheelsFollowCommands_data();
    void wheelsFollowCommands();
    void carOnALine_data();
    void carOnALine();
    void badStartsAreRefused_data();
    void badStartsAreRefused();
};

void TestSim::wheelsFollowCommands_data()
{
    // "ms:hex ..., each one read off the line, in time order | ms=signed wheel velocity ..."
    QTest::addColumn<QString>("run");
    QTest::newRow("rampsUpOverASecondAndStays") << "0:8560 | 0=0 250=30 1000=120 9000=120";
    QTest::newRow("speedByteWaitedForAcrossReads") << "0:85 300:60 | 300=0 800=60 1300=120";
    QTest::newRow("speedCodeTakenAsSpeedByte") << "0:85 0:85 0:60 | 1000=170";
    QTest::newRow("zeroSpeedByteIsASpeed") << "0:8560 1000:8500 | 1500=60 2000=0";
    QTest::newRow("brakeMidRampStopsAtOnce") << "0:8560 300:87 | 300=0 1300=0";
    QTest::newRow("reversingPassesStandstill") << "0:8560 1000:8660 | 1500=0 1750=-60 2000=-120";
    QTest::newRow("hotStartDigitsAbove9CappedAtOneByte") << "0:8aff | 1000=255";
    QTest::newRow("otherFramesKeepTheRamp")
        << "0:8560 500:81 500:83 500:88 500:10 500:8b 500:80 | 500=60 1000=120";
}

void TestSim::wheelsFollowCommands()
{
    QFETCH(QString, run);
    static const QRegularExpression item(QStringLiteral("(\\d+)[:=](-?\\w+)"));
    CarModel car;
    FrameDecoder decoder;
    for (const auto& m : item.globalMatch(run.section(u'|', 0, 0))) {
        for (const Frame& f : decoder.feed(QByteArray::fromHex(m.captured(2).toLatin1())))
            car.apply(f, CarModel::Time(m.captured(1).toInt()));
    }
    for (const auto& m : item.globalMatch(run.section(u'|', 1))) {
        const CarModel::Time at(m.captured(1).toInt());
        QCOMPARE(car.wheelVelocity(at), m.captured(2).toInt());
        QCOMPARE(int(car.wheelRpm(at)), qAbs(m.captured(2).toInt()));
    }
}

void TestSim::carOnALine_data()
{
    QTest::addColumn<int>("ending"); // 0: the adapter is pulled, -1: its --duration, else a signal
    QTest::newRow("adapterPulledEndsIt") << 0;
    QTest::newRow("ownTerminalEndsAtItsDuration") << -1;
    QTest::newRow("ownTerminalEndsCleanlyOnSigterm") << int(SIGTERM);
    QTest::newRow("ownTerminalEndsCleanlyOnSighup") << int(SIGHUP);
}

void TestSim::carOnALine()
{
    QFETCH(int, ending);
    const bool adapter = ending == 0;
    smartcar::RawPty pty;
    QString error;
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("car"));
    // A link left behind by a car that was killed is taken over, and removed at the end.
    QVERIFY(adapter ? smartcar::openRawPty(&pty, &error)
                    : QFile::link(QStringLiteral("/dev/pts/gone-car"), link));
    const auto args = adapter ? QStringList{"--device", pty.path} : QStringList{"--link", link};
    const QDeadlineTimer twoSeconds(2000);
    QProcess sim;
    const QString device =
        start(sim, args + QStringList{"--period", "5", "--duration", ending < 0 ? "2" : "60"});
    termios t{};
    QVERIFY(!adapter
            || (device == pty.path && ::tcgetattr(pty.slave, &t) == 0 && ::cfgetospeed(&t) == B9600
                && (t.c_cflag & (CSIZE | PARENB | CSTOPB)) == CS8));
    int console = pty.master;
    if (!adapter) {
        QCOMPARE(QFileInfo(link).symLinkTarget(), device);
        // The console closes the port and nobody listens for a while; then it comes back.
        const auto tty = [&] { return ::open(qPrintable(link), O_RDWR | O_NOCTTY | O_NONBLOCK); };
        ::close(tty());
        QTest::qWait(600); // well over a hundred readings
        console = tty();
        QVERIFY(readUntil(console, [](quint8) { return true; }).size() <= kMaxUntakenReadings);
    }

    // The speed frame in two writes: the car waits for its speed byte, then its wheels turn.
    const auto send = [&](const char* hex) {
        const QByteArray b = QByteArray::fromHex(hex);
        const bool whole = ::write(console, b.data(), size_t(b.size())) == b.size();
        QTest::qWait(100);
        return whole;
    };
    QVERIFY(send("811085") && send("60"));
    const QByteArray rising = readUntil(console, [](quint8 rpm) { return rpm > 0; });
    QVERIFY(std::any_of(rising.begin(), rising.end(), [](char c) { return c > 0 && c < 120; }));
    QVERIFY(send("87") && send("86")); // the last left without its speed byte

    // Pulled, the car notices and ends rather than spin on a dead line; told to, it ends cleanly.
    ::close(console);
    if (adapter)
        ::close(pty.slave);
    else if (ending > 0)
        ::kill(pid_t(sim.processId()), ending);
    QCOMPARE(exitCode(sim), adapter ? 1 : 0);
    QVERIFY(!adapter || sim.readAllStandardError().contains("the line has gone"));
    QVERIFY(ending >= 0 || twoSeconds.hasExpired()); // --duration 2 never ends early
    QVERIFY(!QFileInfo(link).isSymLink());
    // The log without its time stamps: one line per frame, and the code left waiting.
    QCOMPARE(QString::fromLocal8Bit(sim.readAllStandardOutput())
                 .remove(QRegularExpression(QStringLiteral("(?m)^[\\d:.]{12}  "))),
             QStringLiteral("81     turn left\n10     raw byte 10\n"
                            "85 60  advance, speed 120 -> wheels to 120 rpm forward\n"
                            "87     cold brake -> wheels stopped\n"
                            "86     speed code without its speed byte (the line ended first)\n"));
}

void TestSim::badStartsAreRefused_data()
{
    QTest::addColumn<QStringList>("args"); // each also links to a plain file it must not touch
    QTest::newRow("periodZero") << QStringList{"--period", "0"};
    QTest::newRow("strayArgument") << QStringList{"/dev/ttyS0"};
    QTest::newRow("missingDevice") << QStringList{"--device", "/nonexistent/smartcar-device"};
    QTest::newRow("linkNeverReplacesAFile") << QStringList{};
}

void TestSim::badStartsAreRefused()
{
    QFETCH(QStringList, args);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("car")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("keep me") == 7);
    file.close();
    QProcess sim;
    QCOMPARE(start(sim, args << "--link" << file.fileName()), QString());
    QVERIFY(exitCode(sim) > 0 && !sim.readAllStandardError().isEmpty());
    QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == "keep me"); // the same file
}

QTEST_GUILESS_MAIN(TestSim)
#include "test_sim.moc"
