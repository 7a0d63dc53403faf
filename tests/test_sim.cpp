// The simulated car: the decoder on frames as the line delivers them, the car model on its own
// clock, and the smartcar-sim program itself on a pseudo-terminal.
#include "carmodel.h"
#include "framedecoder.h"
#include "line.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace smartcar::sim;

namespace {

// The console's end of the line, non-blocking; the car keeps its terminal raw.
class ConsoleEnd
{
public:
    explicit ConsoleEnd(int fd)
        : m_fd(fd)
    {
    }
    explicit ConsoleEnd(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
    }
    ~ConsoleEnd() { close(); }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    bool isOpen() const { return m_fd >= 0; }
    bool write(const QByteArray& b) { return ::write(m_fd, b.data(), b.size()) == b.size(); }
    // All that waits, or else the next bytes; the poll's limit is a hang guard, not a speed claim.
    QByteArray next()
    {
        QByteArray got;
        char buf[4096];
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) > 0)
            for (ssize_t n; (n = ::read(m_fd, buf, sizeof buf)) > 0;)
                got.append(buf, n);
        return got;
    }
    // Readings until one is `rpm`, or as many as came if none was.
    QByteArray until(quint8 rpm)
    {
        QByteArray got;
        for (int i = 0; i < 300 && !got.contains(char(rpm)); ++i)
            got += next();
        return got;
    }

private:
    int m_fd = -1;
};

class SimProcess : public QProcess
{
public:
    explicit SimProcess(const QStringList& args)
    {
        start(QStringLiteral(SMARTCAR_SIM_BINARY), args);
    }
    // The first line of its output, the device path; empty if it never came.
    QString devicePath()
    {
        while (!canReadLine() && waitForReadyRead(10000)) {
        }
        return QString::fromLocal8Bit(readLine()).trimmed();
    }
    // Ends on its own (or by `signal`) with exit code `code`.
    bool endsWith(int code, int signal = 0)
    {
        if (signal != 0)
            ::kill(pid_t(processId()), signal);
        return waitForFinished(10000) && exitStatus() == NormalExit && exitCode() == code;
    }
};

} // namespace

class TestSim : public QObject
{
    Q_OBJECT
private slots:
    void decoderTakesFramesAsTheyCome_data();
    void decoderTakesFramesAsTheyCome();
    void wheelsFollowCommands_data();
    void wheelsFollowCommands();
    void deviceCarAnswersAndEndsWhenPulled();
    void terminalCarOutlivesTheConsole_data();
    void terminalCarOutlivesTheConsole();
    void badStartsAreRefused_data();
    void badStartsAreRefused();
};

void TestSim::decoderTakesFramesAsTheyCome_data()
{
    // Reads in hex, separated by ","; what each read yields: frames joined by "|", each with
    // "=speed" or " raw" as decoded.
    QTest::addColumn<QString>("reads");
    QTest::addColumn<QString>("yields");

    QTest::newRow("speedByteWaitedForAcrossReads") << "85,,60" << ",,85 60=120";
    QTest::newRow("frameSplitThenMore") << "878a,ff81" << "87,8A FF=330|81";
    QTest::newRow("zeroSpeedByteThenCode") << "860087" << "86 00=0|87";
    QTest::newRow("bytesOutsideTheCodesAreRaw") << "80,8b83ff" << "80 raw,8B raw|83|FF raw";
    QTest::newRow("speedCodeAsSpeedByte") << "85,85,60" << ",85 85=170,60 raw";
}

void TestSim::decoderTakesFramesAsTheyCome()
{
    QFETCH(QString, reads);
    QFETCH(QString, yields);
    FrameDecoder decoder;
    QStringList got;
    for (const QString& read : reads.split(QLatin1Char(','))) {
        QStringList frames;
        for (const Frame& f : decoder.feed(QByteArray::fromHex(read.toLatin1())))
            frames << hexBytes(f.bytes)
                    + (f.hasSpeed() ? QStringLiteral("=%1").arg(f.speed) : QString())
                    + (f.kind == Frame::Kind::Raw ? QStringLiteral(" raw") : QString());
        got << frames.join(QLatin1Char('|'));
    }
    QCOMPARE(got.join(QLatin1Char(',')), yields);
}

void TestSim::wheelsFollowCommands_data()
{
    QTest::addColumn<QString>("commands"); // "ms:hex", in time order
    QTest::addColumn<QString>("probes");   // "ms=signed wheel velocity", after all commands

    QTest::newRow("rampsUpOverASecondAndStays")
        << "0:8560" << "0=0 250=30 500=60 1000=120 9000=120";
    QTest::newRow("rampStartsAtTheCommand") << "3000:8a20" << "3000=0 3500=20 4000=40";
    QTest::newRow("retreatTurnsBackward") << "0:8660" << "500=-60 1000=-120";
    QTest::newRow("brakeMidRampStopsAtOnce") << "0:8560 300:87" << "300=0 1300=0";
    QTest::newRow("newSpeedRampsFromWhereItIs") << "0:8560 500:8520" << "500=60 1000=50 1500=40";
    QTest::newRow("reversingPassesStandstill") << "0:8560 1000:8660" << "1500=0 1750=-60 2000=-120";
    QTest::newRow("cappedAtOneByte") << "0:85ff" << "1000=255";
    QTest::newRow("otherFramesKeepTheRamp")
        << "0:8560 500:81 500:83 500:88 500:10 500:8b" << "500=60 1000=120";
}

void TestSim::wheelsFollowCommands()
{
    QFETCH(QString, commands);
    QFETCH(QString, probes);
    CarModel car;
    FrameDecoder decoder;
    for (const QString& c : commands.split(QLatin1Char(' '))) {
        const QStringList parts = c.split(QLatin1Char(':'));
        for (const Frame& f : decoder.feed(QByteArray::fromHex(parts[1].toLatin1())))
            car.apply(f, CarModel::Time(parts[0].toLongLong()));
    }
    for (const QString& p : probes.split(QLatin1Char(' '))) {
        const QStringList parts = p.split(QLatin1Char('='));
        const CarModel::Time at(parts[0].toLongLong());
        QCOMPARE(car.wheelVelocity(at), parts[1].toInt());
        QCOMPARE(int(car.wheelRpm(at)), qAbs(parts[1].toInt()));
    }
}

void TestSim::deviceCarAnswersAndEndsWhenPulled()
{
    // A pseudo-terminal pair standing in for a serial adapter: the car opens its slave end.
    int adapter = -1;
    int device = -1;
    char name[256] = {};
    QVERIFY(::openpty(&adapter, &device, name, nullptr, nullptr) == 0);
    // Kept from the car, or its copies would hold the line up after it is pulled.
    ::fcntl(adapter, F_SETFD, FD_CLOEXEC);
    ::fcntl(device, F_SETFD, FD_CLOEXEC);
    ::fcntl(adapter, F_SETFL, O_NONBLOCK);
    ConsoleEnd console(adapter);
    SimProcess sim({"--device", QString::fromLocal8Bit(name), "--period", "20"});
    QCOMPARE(sim.devicePath(), QString::fromLocal8Bit(name));
    termios t{};
    ::tcgetattr(device, &t);
    QCOMPARE(::cfgetospeed(&t), speed_t(B9600));
    QCOMPARE(t.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));

    // The speed frame in two writes: the car must wait for its speed byte.
    QVERIFY(console.write(QByteArray::fromHex("811085")));
    QTest::qWait(50);
    QVERIFY(console.write(QByteArray::fromHex("60")));
    const QByteArray rising = console.until(120);
    QVERIFY2(rising.endsWith(char(120)), rising.toHex(' ').constData());
    const auto below = [](char a, char b) { return quint8(a) < quint8(b); };
    QVERIFY(std::is_sorted(rising.begin(), rising.end(), below));
    QVERIFY(std::any_of(rising.begin(), rising.end(), [](char c) { return c > 0 && c < 120; }));
    QVERIFY(console.write(QByteArray::fromHex("87")));
    QVERIFY(console.until(0).endsWith(char(0)));
    QVERIFY(console.write(QByteArray::fromHex("86"))); // left without its speed byte
    QTest::qWait(100);

    // Pulled: the car must notice and end, not spin on a dead line.
    ::close(device);
    console.close();
    QVERIFY(sim.endsWith(1));
    QVERIFY(sim.readAllStandardError().contains("the line has gone"));
    // The log without its time stamps: one line per frame, and the code left waiting.
    QStringList log = QString::fromLocal8Bit(sim.readAllStandardOutput()).split(QLatin1Char('\n'));
    static const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3}  "));
    log.replaceInStrings(stamp, QString());
    QCOMPARE(log, (QStringList{"81     turn left", "10     raw byte 10",
                  "85 60  advance, speed 120 -> wheels to 120 rpm forward",
                  "87     cold brake -> wheels stopped",
                  "86     speed code without its speed byte (the line ended first)", ""}));
}

void TestSim::terminalCarOutlivesTheConsole_data()
{
    QTest::addColumn<int>("endSignal"); // 0: ends at its --duration
    QTest::newRow("endsAtItsDuration") << 0;
    QTest::newRow("endsCleanlyOnSigterm") << SIGTERM;
    QTest::newRow("endsCleanlyOnSighup") << SIGHUP;
}

void TestSim::terminalCarOutlivesTheConsole()
{
    QFETCH(int, endSignal);
    const bool byDuration = endSignal == 0;
    // A link left behind by a car that was killed is taken over, and removed at the end.
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("car"));
    QVERIFY(QFile::link(QStringLiteral("/dev/pts/nonexistent-car"), link));
    QElapsedTimer clock;
    clock.start();
    SimProcess sim(QStringList{"--period", "5", "--link", link}
                   + (byDuration ? QStringList{"--duration", "2"} : QStringList{}));
    const QString device = sim.devicePath();
    QVERIFY2(device.startsWith(QLatin1String("/dev/")), qPrintable(device));
    QCOMPARE(QFileInfo(link).symLinkTarget(), device);

    // The console closes the port and nobody listens for a while; then it comes back.
    QVERIFY(ConsoleEnd(link).isOpen());
    QTest::qWait(600); // well over a hundred readings
    ConsoleEnd console(link);
    const QByteArray backlog = console.next();
    QVERIFY2(backlog.size() <= kMaxUntakenReadings, qPrintable(QString::number(backlog.size())));
    QVERIFY(!console.next().isEmpty()); // a listener that keeps up still gets readings

    QVERIFY(sim.endsWith(0, endSignal));
    QVERIFY(!byDuration || clock.elapsed() >= 2000); // --duration 2 never ends early
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestSim::badStartsAreRefused_data()
{
    QTest::addColumn<QStringList>("args"); // "@file" stands for a plain file the car must not touch
    QTest::newRow("periodZero") << QStringList{"--period", "0"};
    QTest::newRow("durationNotANumber") << QStringList{"--duration", "soon"};
    QTest::newRow("strayArgument") << QStringList{"/dev/ttyS0"};
    QTest::newRow("missingDevice") << QStringList{"--device", "/nonexistent/smartcar-device"};
    QTest::newRow("linkNeverReplacesAFile") << QStringList{"--link", "@file", "--duration", "0.3"};
}

void TestSim::badStartsAreRefused()
{
    QFETCH(QStringList, args);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("car")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("keep me") == 7);
    file.close();
    args.replaceInStrings(QStringLiteral("@file"), file.fileName());
    SimProcess sim(args);
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QVERIFY(sim.exitCode() != 0);
    QVERIFY(sim.readAllStandardOutput().isEmpty()); // no device path: nothing to open
    QVERIFY(!sim.readAllStandardError().isEmpty());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep me"));
}

QTEST_GUILESS_MAIN(TestSim)
#include "test_sim.moc"
