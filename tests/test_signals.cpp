// SIGINT, SIGTERM and SIGHUP end the console as its end button does, after a turn in progress
// has sent its centring frame (scripts/check-package ends the installed program with SIGTERM).
#include "app/ending.h"
#include "common/endingsignals.h"
#include "support/consolefixture.h"

#include <QApplication>
#include <QSerialPort>

#include <csignal>
#include <thread>
#include <unistd.h>

namespace smartcar {

class TestSignals : public QObject
{
    Q_OBJECT
private slots:
    void turnFinishesAndPortIsFreed_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("sigtermFromTheSystem") << int(SIGTERM);
        QTest::newRow("sigintFromCtrlC") << int(SIGINT);
        QTest::newRow("sighupFromTheTerminalClosing") << int(SIGHUP);
    }

    void turnFinishesAndPortIsFreed()
    {
        QFETCH(int, signal);
        ConsoleFixture fx;
        QVERIFY(fx.open(0));
        const EndingSignals ending;
        endOnSignals(ending, fx.form());
        fx.edit("ChangeTime")->setText(QStringLiteral("300"));
        // The signal comes once the car has the turn frame, while the console sleeps the turn.
        QByteArray turnFrame;
        std::thread sender([&] {
            turnFrame = fx.car1.read(1, std::chrono::seconds(10));
            ::kill(::getpid(), signal);
        });
        later(0, [&] { fx.click("Left"); });
        const int code = QApplication::exec();
        sender.join();
        QCOMPARE(code, 0);
        QCOMPARE(turnFrame, bytes({0x81}));
        QCOMPARE(fx.car1.read(1), bytes({0x83}));
        QSerialPort fresh(fx.car1.slavePath()); // the device is free again
        QVERIFY2(fresh.open(QIODevice::ReadWrite), qPrintable(fresh.errorString()));
    }

    void handlingBeforeComesBack_data()
    {
        QTest::addColumn<bool>("ignored");
        QTest::newRow("defaultComesBack") << false;
        QTest::newRow("nohupStaysIgnored") << true;
    }

    void handlingBeforeComesBack()
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
};

} // namespace smartcar

QTEST_MAIN(smartcar::TestSignals)
#include "test_signals.moc"
