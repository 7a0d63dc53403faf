// Ending by SIGINT, SIGTERM or SIGHUP: the real program ends normally, and the console ends
// the way its end button does, after a turn in progress has sent its centring frame.
//
// A child console cannot be given an open port (it has no command line, and an offscreen
// window takes no clicks from outside), so the port and the turn are shown here in this
// process, with the same signal unit the program installs, signalled for real.
#include "console/signalending.h"
#include "support/bytes.h"
#include "support/consolefixture.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QSerialPort>

#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

using namespace smartcar;

namespace {

// Whether process `pid` has its own handler for `signal` (the SigCgt mask in /proc).
bool catches(qint64 pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
}

void addSignalRows()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("terminate") << SIGTERM;
    QTest::newRow("interruptFromTerminal") << SIGINT;
    QTest::newRow("terminalHungUp") << SIGHUP;
}

} // namespace

class TestSignals : public QObject
{
    Q_OBJECT
private slots:
    void programEndsWithCodeZero_data() { addSignalRows(); }
    void programEndsWithCodeZero();
    void turnFinishesAndPortIsFreed_data() { addSignalRows(); }
    void turnFinishesAndPortIsFreed();
};

void TestSignals::programEndsWithCodeZero()
{
    QFETCH(int, signal);
    QProcess console;
    console.start(QStringLiteral(SMARTCAR_CONSOLE_BINARY), {});
    QVERIFY(console.waitForStarted());
    // Signalled before its handlers are in place it would die of the signal: wait for them.
    QVERIFY(QTest::qWaitFor([&] { return catches(console.processId(), signal); }, 20000));
    ::kill(pid_t(console.processId()), signal);
    QVERIFY(console.waitForFinished(20000));
    QCOMPARE(console.exitStatus(), QProcess::NormalExit);
    QCOMPARE(console.exitCode(), 0);
}

void TestSignals::turnFinishesAndPortIsFreed()
{
    QFETCH(int, signal);
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    const SignalEnding ending(fx.form());
    QVERIFY(ending.isActive());
    fx.edit("ChangeTime")->setText(QStringLiteral("300"));

    // The signal comes once the car has the turn frame, while the console sleeps the turn.
    QByteArray turnFrame;
    std::thread sender;
    later(0, [&] {
        sender = std::thread([&] {
            turnFrame = fx.car1.read(1, std::chrono::seconds(10));
            ::kill(::getpid(), signal);
        });
        fx.click("Left");
    });
    later(20000, [] { QCoreApplication::exit(99); }); // hang guard only
    QCOMPARE(QApplication::exec(), 0);
    sender.join();

    QCOMPARE(turnFrame, bytes({ 0x81 }));
    QCOMPARE(fx.car1.read(1), bytes({ 0x83 }));
    QVERIFY(!fx.portOpen());
    // The device is free again: not in exclusive mode, and open to a fresh open.
    const int slave = ::open(QFile::encodeName(fx.car1.slavePath()).constData(), O_RDWR | O_NOCTTY);
    QVERIFY(slave >= 0);
    int exclusive = -1;
    const int got = ::ioctl(slave, TIOCGEXCL, &exclusive);
    ::close(slave);
    QCOMPARE(got, 0);
    QCOMPARE(exclusive, 0);
    QSerialPort fresh(fx.car1.slavePath());
    QVERIFY2(fresh.open(QIODevice::ReadWrite), qPrintable(fresh.errorString()));
}

QTEST_MAIN(TestSignals)
#include "test_signals.moc"
