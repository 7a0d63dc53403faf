// SIGINT, SIGTERM and SIGHUP end the console as its end button does, after a turn in progress
// has sent its centring frame: shown in this process with the program's own signal unit (a child
// cannot be given an open port), and once with the real program, which must end normally.
#include "common/endingsignals.h"
#include "console/form1.h"
#include "support/checks.h"
#include "support/consolefixture.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QTimer>

#include <csignal>
#include <thread>
#include <unistd.h>

using namespace smartcar;

class TestSignals : public QObject
{
    Q_OBJECT
private slots:
    void programEndsWithCodeZero();
    void turnFinishesAndPortIsFreed();
    void handlingBeforeComesBack_data();
    void handlingBeforeComesBack();
};

void TestSignals::programEndsWithCodeZero()
{
    QProcess console;
    console.start(QStringLiteral(SMARTCAR_CONSOLE_BINARY), {});
    QVERIFY(console.waitForStarted());
    // Signalled before its handler is in place it would die of it: wait for the SigCgt mask.
    const auto catches = [&] {
        QFile status(QStringLiteral("/proc/%1/status").arg(console.processId()));
        const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
        const qsizetype at = text.indexOf("SigCgt:");
        const quint64 mask = at < 0 ? 0 : text.mid(at + 7, 18).trimmed().toULongLong(nullptr, 16);
        return (mask >> (SIGTERM - 1)) & 1;
    };
    QVERIFY(QTest::qWaitFor(catches, 20000));
    ::kill(pid_t(console.processId()), SIGTERM);
    QVERIFY(console.waitForFinished(20000));
    QCOMPARE(console.exitStatus(), QProcess::NormalExit);
    QCOMPARE(console.exitCode(), 0);
}

void TestSignals::turnFinishesAndPortIsFreed()
{
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ConsoleFixture fx;
        QVERIFY(fx.open(0));
        const EndingSignals ending;
        QObject::connect(&ending, &EndingSignals::endRequested, fx.form(), &Form1::cmdEnd_Click);
        fx.edit("ChangeTime")->setText(QStringLiteral("300"));
        // The signal comes once the car has the turn frame, while the console sleeps the turn.
        QByteArray turnFrame;
        std::thread sender([&] {
            turnFrame = fx.car1.read(1, std::chrono::seconds(10));
            ::kill(::getpid(), signal);
        });
        later(0, [&] { fx.click("Left"); });
        QObject guard; // against a hang only
        QTimer::singleShot(20000, &guard, [] { QCoreApplication::exit(99); });
        const int code = QApplication::exec();
        sender.join();
        QCOMPARE(code, 0);
        QCOMPARE(turnFrame, bytes({0x81}));
        QCOMPARE(fx.car1.read(1), bytes({0x83}));
        QVERIFY(!fx.portOpen());
        QSerialPort fresh(fx.car1.slavePath()); // the device is free again
        QVERIFY2(fresh.open(QIODevice::ReadWrite), qPrintable(fresh.errorString()));
    }
}

void TestSignals::handlingBeforeComesBack_data()
{
    QTest::addColumn<bool>("ignored");
    QTest::newRow("defaultComesBack") << false;
    QTest::newRow("nohupStaysIgnored") << true;
}

void TestSignals::handlingBeforeComesBack()
{
    QFETCH(bool, ignored);
    struct sigaction given = {}, before = {}, during = {}, after = {};
    given.sa_handler = ignored ? SIG_IGN : SIG_DFL;
    ::sigaction(SIGHUP, &given, &before);
    {
        const EndingSignals ending;
        ::sigaction(SIGHUP, nullptr, &during);
    }
    ::sigaction(SIGHUP, &before, &after);
    QCOMPARE(during.sa_handler == SIG_IGN, ignored);
    QVERIFY(after.sa_handler == given.sa_handler);
}

QTEST_MAIN(TestSignals)
#include "test_signals.moc"
