// The simulated car: the decoder on frames as the line delivers them, the car model on its own
// clock, and the smartcar-sim program itself on a pseudo-terminal.
#include "carmodel.h"
#include "framedecoder.h"
#include "line.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace smartcar::sim;
using Ms = std::chrono::milliseconds;

namespace {

QString summary(const Frame& f)
{
    return hexBytes(f.bytes) + QLatin1Char(' ') + describe(f);
}

// "ms:hex" commands and "ms=velocity" probes, e.g. "0:8560" and "1000=120".
QPair<Ms, QByteArray> command(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    return {Ms(parts[0].toLongLong()), QByteArray::fromHex(parts[1].toLatin1())};
}

Frame frameOf(const QByteArray& bytes)
{
    FrameDecoder d;
    const QList<Frame> frames = d.feed(bytes);
    if (frames.size() != 1)
        qFatal("not one frame: %s", bytes.toHex().constData());
    return frames.first();
}

// The console's end of the simulator's pseudo-terminal, raw and non-blocking.
class ConsoleEnd
{
public:
    explicit ConsoleEnd(const QString& path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd >= 0) {
            termios t{};
            ::tcgetattr(m_fd, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(m_fd, TCSANOW, &t);
        }
    }
    ~ConsoleEnd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    void write(const QByteArray& bytes) { QCOMPARE(::write(m_fd, bytes.data(), bytes.size()), bytes.size()); }
    // Whatever is there now.
    QByteArray drain()
    {
        QByteArray got;
        char buf[4096];
        ssize_t n;
        while ((n = ::read(m_fd, buf, sizeof buf)) > 0)
            got.append(buf, n);
        return got;
    }
    // Waits for the next bytes, as long as `guardMs` at most (a hang guard, not a speed claim).
    QByteArray next(int guardMs = 5000)
    {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, guardMs) <= 0)
            return {};
        return drain();
    }

private:
    int m_fd = -1;
};

class SimProcess
{
public:
    explicit SimProcess(const QStringList& args)
    {
        m_proc.setProgram(QStringLiteral(SMARTCAR_SIM_BINARY));
        m_proc.setArguments(args);
        m_proc.start();
    }
    ~SimProcess()
    {
        if (m_proc.state() != QProcess::NotRunning) {
            m_proc.kill();
            m_proc.waitForFinished();
        }
    }
    // The first line of its output, the device path; empty if it never came.
    QString devicePath()
    {
        while (!m_proc.canReadLine() && m_proc.waitForReadyRead(10000)) {
        }
        return QString::fromLocal8Bit(m_proc.readLine()).trimmed();
    }
    bool end(int signal)
    {
        ::kill(pid_t(m_proc.processId()), signal);
        return m_proc.waitForFinished(10000);
    }
    QProcess& proc() { return m_proc; }

private:
    QProcess m_proc;
};

} // namespace

class TestSim : public QObject
{
    Q_OBJECT
private slots:
    void decoderTakesFramesAsTheyCome_data();
    void decoderTakesFramesAsTheyCome();
    void logSaysWhatHappened_data();
    void logSaysWhatHappened();
    void wheelsFollowCommands_data();
    void wheelsFollowCommands();
    void rampNeverOvershoots();
    void steeringAndRanging_data();
    void steeringAndRanging();

    void programAnswersAFrame();
    void programEndsCleanly_data();
    void programEndsCleanly();
    void linkPlaces_data();
    void linkPlaces();
    void untakenReadingsStayBounded();
    void deviceIsDrivenAndItsLossNoticed();
    void badOptionsAreRefused_data();
    void badOptionsAreRefused();
};

void TestSim::decoderTakesFramesAsTheyCome_data()
{
    // Reads are given as hex; the expectation is what each read yields, frames joined by "|".
    QTest::addColumn<QStringList>("reads");
    QTest::addColumn<QStringList>("yields");
    QTest::addColumn<bool>("pendingAtEnd");

    QTest::newRow("speedFrameInOneRead") << QStringList{"8560"}
                                         << QStringList{"85 60 advance, speed 120"} << false;
    QTest::newRow("speedByteWaitedFor")
        << QStringList{"85", "60"} << QStringList{"", "85 60 advance, speed 120"} << false;
    QTest::newRow("speedByteWaitsAcrossEmptyReads")
        << QStringList{"86", "", "", "99"} << QStringList{"", "", "", "86 99 retreat, speed 198"}
        << false;
    QTest::newRow("frameSplitThenMore")
        << QStringList{"878a", "4081"}
        << QStringList{"87 cold brake", "8A 40 hot start, speed 80|81 turn left"} << false;
    QTest::newRow("codeAfterSpeedFrameIsItsOwn")
        << QStringList{"856087"} << QStringList{"85 60 advance, speed 120|87 cold brake"} << false;
    QTest::newRow("zeroSpeedByteIsNoRawByte")
        << QStringList{"8600"} << QStringList{"86 00 retreat, speed 0"} << false;
    QTest::newRow("bytesJustOutsideTheCodesAreRaw")
        << QStringList{"808b"} << QStringList{"80 raw byte 80|8B raw byte 8B"} << false;
    QTest::newRow("rawBytesAroundACode")
        << QStringList{"10", "83ff"} << QStringList{"10 raw byte 10", "83 centre after left turn|FF raw byte FF"}
        << false;
    QTest::newRow("speedCodeLeftWaiting") << QStringList{"8185"} << QStringList{"81 turn left"} << true;
    QTest::newRow("speedCodeAsSpeedByte")
        << QStringList{"85", "85", "60"}
        << QStringList{"", "85 85 advance, speed 170 (speed byte 85 is a command code, taken as the speed)",
                       "60 raw byte 60, character `"}
        << false;
}

void TestSim::decoderTakesFramesAsTheyCome()
{
    QFETCH(QStringList, reads);
    QFETCH(QStringList, yields);
    QFETCH(bool, pendingAtEnd);
    FrameDecoder decoder;
    QStringList got;
    for (const QString& read : reads) {
        QStringList frames;
        for (const Frame& f : decoder.feed(QByteArray::fromHex(read.toLatin1())))
            frames << summary(f);
        got << frames.join(QLatin1Char('|'));
    }
    QCOMPARE(got, yields);
    QCOMPARE(decoder.hasPending(), pendingAtEnd);
}

void TestSim::logSaysWhatHappened_data()
{
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<QString>("line");

    QTest::newRow("advanceGivesItsTarget")
        << "8560" << "12:00:01.005  85 60  advance, speed 120 -> wheels to 120 rpm forward";
    QTest::newRow("retreatGoesBackward")
        << "8620" << "12:00:01.005  86 20  retreat, speed 40 -> wheels to 40 rpm backward";
    QTest::newRow("zeroSpeedIsStandstill")
        << "8500" << "12:00:01.005  85 00  advance, speed 0 -> wheels to standstill";
    QTest::newRow("nonDecimalDigitIsSaidAndCapped")
        << "85ff"
        << "12:00:01.005  85 FF  advance, speed 330 (speed byte FF has a digit above 9, read as 15 "
           "tens and 15 units) -> wheels to 255 rpm forward";
    QTest::newRow("unitsAboveNine")
        << "850a"
        << "12:00:01.005  85 0A  advance, speed 20 (speed byte 0A has a digit above 9, read as 0 "
           "tens and 10 units) -> wheels to 20 rpm forward";
    QTest::newRow("brakeStops") << "87" << "12:00:01.005  87     cold brake -> wheels stopped";
    QTest::newRow("centreAfterRight") << "84" << "12:00:01.005  84     centre after right turn";
    QTest::newRow("rangingOn") << "88" << "12:00:01.005  88     ultrasonic ranging on";
    QTest::newRow("rawPrintable") << "30" << "12:00:01.005  30     raw byte 30, character 0";
}

void TestSim::logSaysWhatHappened()
{
    QFETCH(QString, bytes);
    QFETCH(QString, line);
    const Frame frame = frameOf(QByteArray::fromHex(bytes.toLatin1()));
    CarModel car;
    car.apply(frame, Ms(0));
    QCOMPARE(logLine(QTime(12, 0, 1, 5), frame, car), line);
}

void TestSim::wheelsFollowCommands_data()
{
    QTest::addColumn<QStringList>("commands"); // "ms:hex", in time order
    QTest::addColumn<QStringList>("probes");   // "ms=signed wheel velocity", after all commands

    QTest::newRow("standsStillAtFirst") << QStringList{} << QStringList{"0=0", "5000=0"};
    QTest::newRow("rampsUpOverASecond")
        << QStringList{"0:8560"} << QStringList{"0=0", "250=30", "500=60", "1000=120", "9000=120"};
    QTest::newRow("rampStartsAtTheCommand")
        << QStringList{"3000:8560"} << QStringList{"3000=0", "3500=60", "4000=120"};
    QTest::newRow("retreatTurnsBackward")
        << QStringList{"0:8660"} << QStringList{"500=-60", "1000=-120"};
    QTest::newRow("hotStartTurnsForward") << QStringList{"0:8a20"} << QStringList{"1000=40"};
    QTest::newRow("brakeStopsAtOnce")
        << QStringList{"0:8560", "2000:87"} << QStringList{"2000=0", "2001=0", "4000=0"};
    QTest::newRow("brakeMidRampStopsAtOnce")
        << QStringList{"0:8560", "300:87"} << QStringList{"300=0", "1300=0"};
    QTest::newRow("newSpeedRampsFromWhereItIs")
        << QStringList{"0:8560", "500:8520"} << QStringList{"500=60", "1000=50", "1500=40"};
    QTest::newRow("reversingPassesStandstill")
        << QStringList{"0:8560", "1000:8660"} << QStringList{"1500=0", "1750=-60", "2000=-120"};
    QTest::newRow("zeroSpeedSlowsToStandstill")
        << QStringList{"0:8560", "1000:8500"} << QStringList{"1500=60", "2000=0"};
    QTest::newRow("cappedAtOneByte") << QStringList{"0:85ff"} << QStringList{"1000=255"};
    QTest::newRow("otherFramesLeaveTheSpeed")
        << QStringList{"0:8560", "1000:81", "1000:83", "1000:88", "1000:10", "1000:8b"}
        << QStringList{"1000=120", "3000=120"};
    QTest::newRow("steeringMidRampKeepsRamping")
        << QStringList{"0:8560", "500:82"} << QStringList{"500=60", "1000=120"};
}

void TestSim::wheelsFollowCommands()
{
    QFETCH(QStringList, commands);
    QFETCH(QStringList, probes);
    CarModel car;
    FrameDecoder decoder;
    for (const QString& c : commands) {
        const auto [at, bytes] = command(c);
        for (const Frame& f : decoder.feed(bytes))
            car.apply(f, at);
    }
    for (const QString& p : probes) {
        const QStringList parts = p.split(QLatin1Char('='));
        const Ms at(parts[0].toLongLong());
        const int velocity = parts[1].toInt();
        QCOMPARE(car.wheelVelocity(at), velocity);
        QCOMPARE(int(car.wheelRpm(at)), qAbs(velocity));
    }
}

void TestSim::rampNeverOvershoots()
{
    CarModel car;
    car.apply(frameOf(QByteArray::fromHex("8560")), Ms(0));
    car.apply(frameOf(QByteArray::fromHex("8520")), Ms(400)); // 48 rpm, heading down to 40
    int last = car.wheelRpm(Ms(0));
    for (int ms = 0; ms <= 2000; ++ms) {
        const int rpm = car.wheelRpm(Ms(ms));
        if (ms <= 400)
            QVERIFY2(rpm >= last && rpm <= 120, qPrintable(QString::number(ms)));
        else
            QVERIFY2(rpm <= last && rpm >= 40, qPrintable(QString::number(ms)));
        last = rpm;
    }
    QCOMPARE(last, 40);
}

void TestSim::steeringAndRanging_data()
{
    QTest::addColumn<QString>("stream");
    QTest::addColumn<int>("steering");
    QTest::addColumn<bool>("ranging");
    using S = CarModel::Steering;
    QTest::newRow("startsCentredWithoutRanging") << "" << int(S::Centre) << false;
    QTest::newRow("leftTurns") << "81" << int(S::Left) << false;
    QTest::newRow("rightTurns") << "82" << int(S::Right) << false;
    QTest::newRow("leftThenItsCentring") << "8183" << int(S::Centre) << false;
    QTest::newRow("rightThenItsCentring") << "8284" << int(S::Centre) << false;
    QTest::newRow("eitherCentringCentres") << "8283" << int(S::Centre) << false;
    QTest::newRow("rangingOn") << "88" << int(S::Centre) << true;
    QTest::newRow("rangingOnThenOff") << "8889" << int(S::Centre) << false;
    QTest::newRow("speedByteIsNoTurn") << "8581" << int(S::Centre) << false;
    QTest::newRow("brakeKeepsSteeringAndRanging") << "818887" << int(S::Left) << true;
}

void TestSim::steeringAndRanging()
{
    QFETCH(QString, stream);
    QFETCH(int, steering);
    QFETCH(bool, ranging);
    CarModel car;
    FrameDecoder decoder;
    for (const Frame& f : decoder.feed(QByteArray::fromHex(stream.toLatin1())))
        car.apply(f, Ms(0));
    QCOMPARE(int(car.steering()), steering);
    QCOMPARE(car.ranging(), ranging);
}

void TestSim::programAnswersAFrame()
{
    SimProcess sim({"--period", "20"});
    const QString device = sim.devicePath();
    QVERIFY2(device.startsWith(QLatin1String("/dev/")), qPrintable(device));
    ConsoleEnd console(device);
    QVERIFY(console.isOpen());

    // Sent in two writes: the car must wait for the speed byte.
    console.write(QByteArray::fromHex("85"));
    QTest::qWait(50);
    console.write(QByteArray::fromHex("60"));

    // Readings rise to 120 rpm and never go down on the way.
    QByteArray readings;
    for (int i = 0; i < 200 && !readings.endsWith(char(120)); ++i)
        readings += console.next();
    QVERIFY2(readings.endsWith(char(120)), readings.toHex(' ').constData());
    for (qsizetype i = 1; i < readings.size(); ++i)
        QVERIFY(quint8(readings[i]) >= quint8(readings[i - 1]));
    QVERIFY(readings.count(char(0)) < readings.size() - 1); // some readings on the way up

    console.write(QByteArray::fromHex("87"));
    QByteArray after;
    for (int i = 0; i < 200 && !after.endsWith(char(0)); ++i)
        after += console.next();
    QVERIFY(after.endsWith(char(0)));

    console.write(QByteArray::fromHex("86")); // left waiting when the car is stopped
    QTest::qWait(100);
    QVERIFY(sim.end(SIGTERM));
    QCOMPARE(sim.proc().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.proc().exitCode(), 0);
    const QStringList log = QString::fromLocal8Bit(sim.proc().readAllStandardOutput())
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(log.size(), 3);
    QVERIFY2(log[0].endsWith(QLatin1String("  85 60  advance, speed 120 -> wheels to 120 rpm forward")),
             qPrintable(log[0]));
    QVERIFY2(log[1].endsWith(QLatin1String("  87     cold brake -> wheels stopped")), qPrintable(log[1]));
    QVERIFY2(log[2].contains(QLatin1String("86     speed code without its speed byte")), qPrintable(log[2]));
    QVERIFY(QTime::fromString(log[0].left(12), QStringLiteral("HH:mm:ss.zzz")).isValid());
}

void TestSim::programEndsCleanly_data()
{
    QTest::addColumn<int>("signal"); // 0: let --duration end it
    QTest::newRow("durationEndsIt") << 0;
    QTest::newRow("sigtermEndsIt") << int(SIGTERM);
    QTest::newRow("sigintEndsIt") << int(SIGINT);
}

void TestSim::programEndsCleanly()
{
    QFETCH(int, signal);
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("car"));
    QStringList args{"--link", link};
    if (signal == 0)
        args << "--duration" << "0.4";
    QElapsedTimer clock;
    clock.start();
    SimProcess sim(args);
    const QString device = sim.devicePath();
    QVERIFY(!device.isEmpty());
    QCOMPARE(QFileInfo(link).symLinkTarget(), device);
    {
        // The console may come and go: the car stays.
        ConsoleEnd first(device);
        QVERIFY(first.isOpen());
    }
    ConsoleEnd again(device);
    QVERIFY(again.isOpen());
    QVERIFY(again.next().size() > 0);

    if (signal != 0)
        QVERIFY(sim.end(signal));
    else
        QVERIFY(sim.proc().waitForFinished(10000));
    QCOMPARE(sim.proc().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.proc().exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    if (signal == 0)
        QVERIFY(clock.elapsed() >= 400);
}

void TestSim::linkPlaces_data()
{
    QTest::addColumn<QString>("already"); // what is at the link's place beforehand
    QTest::addColumn<bool>("runs");
    QTest::newRow("nothingThere") << "" << true;
    QTest::newRow("staleLinkReplaced") << "link" << true;
    QTest::newRow("fileLeftAlone") << "file" << false;
}

void TestSim::linkPlaces()
{
    QFETCH(QString, already);
    QFETCH(bool, runs);
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("car"));
    if (already == QLatin1String("link"))
        QVERIFY(QFile::link(QStringLiteral("/dev/pts/nonexistent-car"), link));
    if (already == QLatin1String("file")) {
        QFile f(link);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    SimProcess sim({"--link", link, "--duration", "0.3"});
    QVERIFY(sim.proc().waitForFinished(10000));
    QCOMPARE(sim.proc().exitCode(), runs ? 0 : 1);
    if (runs) {
        QVERIFY(sim.proc().readAllStandardOutput().startsWith("/dev/"));
        QVERIFY(!QFileInfo(link).isSymLink()); // gone again at the end
    } else {
        QVERIFY(sim.proc().readAllStandardOutput().isEmpty());
        QFile f(link);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("keep me"));
        QVERIFY(sim.proc().readAllStandardError().contains("not a symbolic link"));
    }
}

void TestSim::untakenReadingsStayBounded()
{
    // Nobody listens for a while, as when the console has the port closed.
    SimProcess sim({"--period", "5"});
    const QString device = sim.devicePath();
    QVERIFY(!device.isEmpty());
    QTest::qWait(600); // well over a hundred readings
    ConsoleEnd console(device);
    QVERIFY(console.isOpen());
    const QByteArray backlog = console.drain();
    QVERIFY(backlog.size() >= 1);
    QVERIFY2(backlog.size() <= kMaxUntakenReadings, qPrintable(QString::number(backlog.size())));
    // Taken readings are not dropped: a listener that keeps up sees every one.
    QVERIFY(console.next().size() >= 1);
}

void TestSim::deviceIsDrivenAndItsLossNoticed()
{
    // A pseudo-terminal pair standing in for a serial adapter: the car opens its slave end.
    int adapter = -1;
    int device = -1;
    char name[256] = {};
    QVERIFY(::openpty(&adapter, &device, name, nullptr, nullptr) == 0);
    // Kept from the car, or its copies would hold the line up after it is pulled.
    ::fcntl(adapter, F_SETFD, FD_CLOEXEC);
    ::fcntl(device, F_SETFD, FD_CLOEXEC);
    SimProcess sim({"--device", QString::fromLocal8Bit(name), "--period", "20"});
    QCOMPARE(sim.devicePath(), QString::fromLocal8Bit(name));
    termios t{};
    ::tcgetattr(device, &t);
    QCOMPARE(::cfgetospeed(&t), speed_t(B9600));
    QCOMPARE(t.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));

    QCOMPARE(::write(adapter, "\x85\x60", 2), ssize_t(2));
    QByteArray readings;
    char buf[256];
    for (int i = 0; i < 200 && !readings.endsWith(char(120)); ++i) {
        pollfd p{adapter, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            break;
        const ssize_t n = ::read(adapter, buf, sizeof buf);
        if (n > 0)
            readings.append(buf, n);
    }
    QVERIFY2(readings.endsWith(char(120)), readings.toHex(' ').constData());

    // The adapter is pulled: the car must notice and end, not spin on a dead line.
    ::close(device);
    ::close(adapter);
    QVERIFY(sim.proc().waitForFinished(10000));
    QCOMPARE(sim.proc().exitCode(), 1);
    QVERIFY(sim.proc().readAllStandardError().contains("the line has gone"));
}

void TestSim::badOptionsAreRefused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("periodZero") << QStringList{"--period", "0"};
    QTest::newRow("periodNotANumber") << QStringList{"--period", "fast"};
    QTest::newRow("durationNegative") << QStringList{"--duration", "-1"};
    QTest::newRow("durationNotANumber") << QStringList{"--duration", "soon"};
    QTest::newRow("strayArgument") << QStringList{"/dev/ttyS0"};
    QTest::newRow("missingDevice") << QStringList{"--device", "/nonexistent/smartcar-device"};
}

void TestSim::badOptionsAreRefused()
{
    QFETCH(QStringList, args);
    SimProcess sim(args);
    QVERIFY(sim.proc().waitForFinished(10000));
    QCOMPARE(sim.proc().exitStatus(), QProcess::NormalExit);
    QVERIFY(sim.proc().exitCode() != 0);
    QVERIFY(sim.proc().readAllStandardOutput().isEmpty()); // no device path: nothing to open
    QVERIFY(!sim.proc().readAllStandardError().isEmpty());
}

QTEST_GUILESS_MAIN(TestSim)
#include "test_sim.moc"
