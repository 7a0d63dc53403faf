// The main window's start-up, port selection, opening, closing and ending, against real
// pseudo-terminals standing in for the car. A vanishing adapter is in test_endurance.
#include "serial/commport.h"
#include "support/consolefixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QWheelEvent>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace smartcar;

namespace {
const QString kStopped = QStringLiteral("已停止通信并关闭通讯端口");
const QString kOpened = QStringLiteral("单击【开始通信】按钮，执行通信");
const QString kMarker = QStringLiteral("marker");

// Whether the device itself is set to 9600 baud, 8 data bits, no parity and one stop bit.
bool deviceIs9600_8N1(const QString& path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    const bool read = fd >= 0 && ::tcgetattr(fd, &t) == 0;
    if (fd >= 0)
        ::close(fd);
    return read && cfgetospeed(&t) == B9600 && (t.c_cflag & (CSIZE | PARENB | CSTOPB)) == CS8;
}

int portNumber(const ConsoleFixture& fx) { return fx.get<CommPort>("MSComm1")->commPort(); }
} // namespace

class TestConnection : public QObject
{
    Q_OBJECT
private slots:
    void startUpAndTyping();
    void adapterPluggedInAfterStartOpensAsCom3();
    void openingAnEntryThenInitialising_data();
    void openingAnEntryThenInitialising();
    void changeStepStopsWaitsThenCloses_data();
    void changeStepStopsWaitsThenCloses();
    void endingInsideTheChangeWait_data();
    void endingInsideTheChangeWait();
    void wheelNeverChangesThePort();
};

void TestConnection::startUpAndTyping()
{
    qputenv("SMARTCAR_COM7", ""); // set but empty counts as not set
    ConsoleFixture fx;
    qunsetenv("SMARTCAR_COM7");
    QComboBox* box = fx.ports();
    QCOMPARE(box->currentText(), QStringLiteral("COM1"));
    QCOMPARE(box->toolTip(), fx.car1.slavePath());
    QCOMPARE(box->itemData(6, Qt::ToolTipRole).toString(),
             fx.devices.filePath(QStringLiteral("ttyS6")) + QStringLiteral("（未发现设备）"));
    QVERIFY(fx.button("cmdOpenCOM")->isEnabled() && !fx.button("cmdStart")->isEnabled());
    QVERIFY(!fx.portOpen() && !fx.get<QTimer>("Timer1")->isActive());
    QVERIFY(fx.boxes.messages().isEmpty());

    // Typing an entry's text selects nothing, neither on Return nor when the focus leaves.
    box->lineEdit()->setFocus();
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), QStringLiteral("COM2"));
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    fx.button("Stop")->setFocus();
    QCOMPARE(box->currentIndex(), -1);
    QCOMPARE(box->count(), 20); // nothing inserted
    QCOMPARE(fx.status(), QStringLiteral("系统消息")); // no change step ran
}

void TestConnection::adapterPluggedInAfterStartOpensAsCom3()
{
    ConsoleFixture fx;
    PtyPair adapter;
    const QString link = fx.devices.filePath(QStringLiteral("ttyUSB0"));
    QVERIFY(QFile::link(adapter.slavePath(), link));

    // Dropping the list down looks again.
    QComboBox* box = fx.ports();
    box->showPopup();
    QTRY_VERIFY(box->view()->isVisible());
    QCOMPARE(box->itemData(2, Qt::ToolTipRole).toString(), link);
    QCOMPARE(box->itemData(3, Qt::ToolTipRole).toString(),
             fx.devices.filePath(QStringLiteral("ttyS3")) + QStringLiteral("（未发现设备）"));
    box->hidePopup();

    fx.pick(2);
    QCOMPARE(box->lineEdit()->cursorPosition(), 0); // "COM3(USB)" seen from its start
    QCOMPARE(box->toolTip(), link);
    fx.click("cmdOpenCOM");
    QVERIFY(fx.portOpen());
    QVERIFY(fx.boxes.messages().isEmpty());
    fx.click("Stop");
    QCOMPARE(adapter.read(1), QByteArray("\x87"));
}

void TestConnection::openingAnEntryThenInitialising_data()
{
    const QString choiceError = QStringLiteral("指定通信端口时发生错误！");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("ownCar"); // the test maps a car of its own to this entry
    QTest::addColumn<QString>("box"); // empty: the port opens
    QTest::addColumn<QString>("detail"); // the lines under the box's text
    QTest::addColumn<int>("number");
    QTest::newRow("firstEntry") << 0 << false << QString() << QString() << 1;
    QTest::newRow("usbLabelIsOnlyALabel") << 2 << true << QString() << QString() << 3;
    QTest::newRow("COM17IsTheLastThatOpens") << 16 << true << QString() << QString() << 17;
    QTest::newRow("COM18RefusedThoughItExists") << 17 << true << choiceError << QString() << 1;
    QTest::newRow("COM20RefusedThoughItExists") << 19 << true << choiceError << QString() << 1;
    QTest::newRow("missingDeviceNamed")
        << 4 << false << QStringLiteral("打开通信端口时发生错误！请确定通信端口存在且正常。")
        << QStringLiteral("未找到设备 /nonexistent/smartcar-test-device：请检查适配器是否已插好。")
        << 5;
}

void TestConnection::openingAnEntryThenInitialising()
{
    QFETCH(int, index);
    QFETCH(bool, ownCar);
    QFETCH(QString, box);
    QFETCH(QString, detail);
    QFETCH(int, number);
    PtyPair car;
    const QByteArray variable = "SMARTCAR_COM" + QByteArray::number(index + 1);
    if (ownCar)
        qputenv(variable.constData(), car.slavePath().toLocal8Bit());
    ConsoleFixture fx;
    const bool opens = box.isEmpty();
    QCOMPARE(fx.open(index), opens);
    if (ownCar)
        qunsetenv(variable.constData());
    QCOMPARE(portNumber(fx), number);
    QCOMPARE(fx.button("cmdOpenCOM")->isEnabled(), !opens);
    QCOMPARE(fx.button("cmdStart")->isEnabled(), opens);
    QCOMPARE(fx.status(), opens ? kOpened : kStopped);
    QCOMPARE(fx.boxes.texts(), opens ? QStringList() : QStringList{box});
    if (!opens)
        QCOMPARE(fx.boxes.messages().first().informativeText, detail);
    QVERIFY(!opens || deviceIs9600_8N1(ownCar ? car.slavePath() : fx.car1.slavePath()));

    // Initialising rebuilds the list on the first entry, which changes the port only if the
    // port holds another number than 1; the start button goes off either way.
    auto* timer = fx.get<QTimer>("Timer1");
    if (opens)
        timer->start();
    fx.action("Int")->trigger();
    const bool kept = opens && number == 1;
    QCOMPARE(fx.ports()->count(), 20);
    QCOMPARE(fx.ports()->currentIndex(), 0);
    QCOMPARE(fx.portOpen(), kept);
    QCOMPARE(timer->isActive(), kept);
    QCOMPARE(fx.status(), kept ? kOpened : kStopped);
    QCOMPARE(fx.button("cmdOpenCOM")->isEnabled(), !kept);
    QVERIFY(!fx.button("cmdStart")->isEnabled());
}

void TestConnection::changeStepStopsWaitsThenCloses_data()
{
    QTest::addColumn<bool>("wasOpen");
    QTest::newRow("whilePolling") << true;
    QTest::newRow("beforeAnyOpen") << false;
}

void TestConnection::changeStepStopsWaitsThenCloses()
{
    QFETCH(bool, wasOpen);
    ConsoleFixture fx;
    auto* timer = fx.get<QTimer>("Timer1");
    if (wasOpen) {
        QVERIFY(fx.open(0));
        timer->start();
    }
    bool timerOffDuringWait = false;
    bool openDuringWait = false;
    later(30, [&] {
        timerOffDuringWait = !timer->isActive();
        openDuringWait = fx.portOpen();
    });
    QElapsedTimer clock;
    clock.start();
    fx.pick(3);
    QVERIFY(clock.elapsed() >= 100);
    QVERIFY(timerOffDuringWait);
    QCOMPARE(openDuringWait, wasOpen); // closed only after the wait
    QVERIFY(!fx.portOpen());
    QCOMPARE(fx.status(), kStopped);
    QVERIFY(fx.button("cmdOpenCOM")->isEnabled());
    QCOMPARE(fx.button("cmdStart")->isEnabled(), wasOpen);

    // Only opening sets the port number, so COM1 is still the same port: nothing happens.
    QCOMPARE(portNumber(fx), 1);
    fx.get<QLabel>("panel_status")->setText(kMarker);
    fx.pick(0);
    QCOMPARE(fx.status(), kMarker);
    QVERIFY(fx.boxes.messages().isEmpty());
}

void TestConnection::endingInsideTheChangeWait_data()
{
    QTest::addColumn<bool>("byExit"); // otherwise by the end button
    QTest::newRow("endButton") << false;
    QTest::newRow("exitMenu") << true;
}

void TestConnection::endingInsideTheChangeWait()
{
    QFETCH(bool, byExit);
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    QTimer::singleShot(0, [&] {
        later(30, [&] { byExit ? fx.action("Exit")->trigger() : fx.click("cmdEnd"); });
        fx.pick(1); // waits 100 ms
    });
    QCOMPARE(QApplication::exec(), 0);
    if (byExit) {
        QTRY_VERIFY(!fx.alive());
        return;
    }
    // The change step did not go on after its wait.
    QVERIFY(!fx.portOpen());
    QCOMPARE(fx.status(), kOpened);
    QVERIFY(!fx.button("cmdOpenCOM")->isEnabled());
}

void TestConnection::wheelNeverChangesThePort()
{
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    fx.click("cmdStart");
    QComboBox* box = fx.ports();
    box->setFocus();
    // Over the box and over its text, in both directions, as a notch of the wheel arrives.
    for (QWidget* target : {static_cast<QWidget*>(box), static_cast<QWidget*>(box->lineEdit())}) {
        for (int notch : {-120, 120}) {
            const QPointF at = target->rect().center();
            QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, notch),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(target, &wheel);
        }
    }
    QCOMPARE(box->currentIndex(), 0);
    QVERIFY(fx.portOpen());
    QVERIFY(fx.get<QTimer>("Timer1")->isActive());

    // The keyboard, with the box in focus, is still a deliberate pick.
    QTest::keyClick(box, Qt::Key_Down);
    QCOMPARE(box->currentIndex(), 1);
    QVERIFY(!fx.portOpen());
    QCOMPARE(fx.status(), kStopped);
}

QTEST_MAIN(TestConnection)
#include "test_connection.moc"
