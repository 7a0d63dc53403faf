// The main window's start-up, port selection, opening, closing and ending, against real
// pseudo-terminals standing in for the car.
#include "serial/commport.h"
#include "support/consolefixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

using namespace smartcar;

namespace {
const QString kStopped = QStringLiteral("已停止通信并关闭通讯端口");
const QString kOpened = QStringLiteral("单击【开始通信】按钮，执行通信");
const QString kChoiceError = QStringLiteral("指定通信端口时发生错误！");
const QString kOpenError = QStringLiteral("打开通信端口时发生错误！请确定通信端口存在且正常。");
} // namespace

class TestConnection : public QObject
{
    Q_OBJECT
private slots:
    void startUpState();
    void inertMenuItemsDoNothing();
    void openSetsUpTheLine();
    void refusedEntriesChangeNothing_data();
    void refusedEntriesChangeNothing();
    void missingDeviceReportsAndStaysClosed();
    void changeStepWaitsThenCloses();
    void changeBeforeAnyOpenOnlySetsText();
    void initialiseWhileOpenKeepsThePort();
    void initialiseAfterAnotherPortCloses();
    void typingSelectsNothing();
    void endInsideAWaitEndsEverything();
    void exitInsideAWaitReleasesTheWindow();
};

void TestConnection::startUpState()
{
    ConsoleFixture fx;
    QCOMPARE(fx.form()->windowTitle(), QStringLiteral("Tavrin无线智能车控制台"));
    QComboBox* box = fx.ports();
    QCOMPARE(box->count(), 20);
    QCOMPARE(box->currentIndex(), 0);
    QCOMPARE(box->currentText(), QStringLiteral("COM1"));
    QCOMPARE(box->itemText(2), QStringLiteral("COM3(USB)"));
    QCOMPARE(box->itemData(0, Qt::ToolTipRole).toString(), fx.car1.slavePath());
    QCOMPARE(box->toolTip(), fx.car1.slavePath());
    QVERIFY(fx.button("cmdOpenCOM")->isEnabled());
    QVERIFY(!fx.button("cmdStart")->isEnabled());
    QCOMPARE(fx.button("cmdStart")->text(), QStringLiteral("开始通信"));
    QVERIFY(!fx.portOpen());
    QVERIFY(!fx.get<QTimer>("Timer1")->isActive());
    QCOMPARE(fx.get<QTimer>("Timer1")->interval(), 100);
    QCOMPARE(fx.status(), QStringLiteral("系统消息"));
    QVERIFY(fx.boxes.messages().isEmpty());
    QCOMPARE(fx.get<CommPort>("MSComm1")->commPort(), 1);
}

void TestConnection::inertMenuItemsDoNothing()
{
    ConsoleFixture fx;
    fx.action("set")->trigger();
    fx.action("Delete")->trigger();
    QVERIFY(fx.alive());
    QVERIFY(fx.form()->isVisible());
    QCOMPARE(fx.status(), QStringLiteral("系统消息"));
    QVERIFY(fx.boxes.messages().isEmpty());
    QCOMPARE(fx.ports()->count(), 20);
}

void TestConnection::openSetsUpTheLine()
{
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    QVERIFY(!fx.button("cmdOpenCOM")->isEnabled());
    QVERIFY(fx.button("cmdStart")->isEnabled());
    QCOMPARE(fx.status(), kOpened);
    QCOMPARE(fx.get<CommPort>("MSComm1")->settings(), QStringLiteral("9600,n,8,1"));
    QVERIFY(fx.boxes.messages().isEmpty());
}

void TestConnection::refusedEntriesChangeNothing_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("COM18") << 17;
    QTest::newRow("COM19") << 18;
    QTest::newRow("COM20") << 19;
}

void TestConnection::refusedEntriesChangeNothing()
{
    QFETCH(int, index);
    ConsoleFixture fx;
    fx.pick(index);
    QCOMPARE(fx.status(), kStopped); // the change step ran: another port number than 1
    QVERIFY(!fx.open(index));
    QCOMPARE(fx.boxes.texts(), QStringList{kChoiceError});
    const ShownMessage& box = fx.boxes.messages().first();
    QCOMPARE(box.title, QStringLiteral("系统信息"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(fx.get<CommPort>("MSComm1")->commPort(), 1);
    QVERIFY(fx.button("cmdOpenCOM")->isEnabled());
    QVERIFY(!fx.button("cmdStart")->isEnabled());
    QCOMPARE(fx.status(), kStopped);
}

void TestConnection::missingDeviceReportsAndStaysClosed()
{
    ConsoleFixture fx;
    fx.pick(4); // COM5, mapped to a device that does not exist
    QVERIFY(!fx.open(4));
    QCOMPARE(fx.boxes.texts(), QStringList{kOpenError});
    QCOMPARE(fx.boxes.messages().first().title, QStringLiteral("系统信息"));
    QVERIFY(fx.button("cmdOpenCOM")->isEnabled());
    QVERIFY(!fx.button("cmdStart")->isEnabled());
    QCOMPARE(fx.status(), kStopped);
    QCOMPARE(fx.get<CommPort>("MSComm1")->commPort(), 5);

    // The service holds 5 now, so picking COM5 again is the same port: nothing happens.
    fx.get<QLabel>("panel_status")->setText(QStringLiteral("marker"));
    fx.pick(4);
    QCOMPARE(fx.status(), QStringLiteral("marker"));
}

void TestConnection::changeStepWaitsThenCloses()
{
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    auto* timer = fx.get<QTimer>("Timer1");
    timer->start();
    const QString caption = fx.button("cmdStart")->text();

    bool timerOffDuringWait = false;
    bool openDuringWait = false;
    later(30, [&] {
        timerOffDuringWait = !timer->isActive();
        openDuringWait = fx.portOpen();
    });
    QElapsedTimer clock;
    clock.start();
    fx.pick(1);
    QVERIFY(clock.elapsed() >= 100);
    QVERIFY(timerOffDuringWait);
    QVERIFY(openDuringWait); // closed only after the wait
    QVERIFY(!fx.portOpen());
    QVERIFY(!timer->isActive());
    QCOMPARE(fx.status(), kStopped);
    QVERIFY(fx.button("cmdOpenCOM")->isEnabled());
    QVERIFY(fx.button("cmdStart")->isEnabled());
    QCOMPARE(fx.button("cmdStart")->text(), caption);
    QCOMPARE(fx.get<CommPort>("MSComm1")->commPort(), 1); // only the open step sets it

    // The line can be opened again on the new entry.
    QVERIFY(fx.open(1));
    QCOMPARE(fx.get<CommPort>("MSComm1")->commPort(), 2);
    QVERIFY(fx.boxes.messages().isEmpty());
}

void TestConnection::changeBeforeAnyOpenOnlySetsText()
{
    ConsoleFixture fx;
    fx.pick(0); // the entry of the current port number: nothing at all
    QCOMPARE(fx.status(), QStringLiteral("系统消息"));

    QElapsedTimer clock;
    clock.start();
    fx.pick(3);
    QVERIFY(clock.elapsed() >= 100);
    QCOMPARE(fx.status(), kStopped);
    QVERIFY(!fx.button("cmdStart")->isEnabled());

    // The port number is still 1, so COM1 is the same port again.
    fx.get<QLabel>("panel_status")->setText(QStringLiteral("marker"));
    fx.pick(0);
    QCOMPARE(fx.status(), QStringLiteral("marker"));
}

void TestConnection::initialiseWhileOpenKeepsThePort()
{
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    auto* timer = fx.get<QTimer>("Timer1");
    timer->start();
    fx.action("Int")->trigger();
    QCOMPARE(fx.ports()->count(), 20);
    QCOMPARE(fx.ports()->currentIndex(), 0);
    QVERIFY(fx.portOpen());
    QVERIFY(timer->isActive());
    QVERIFY(!fx.button("cmdStart")->isEnabled());
    QVERIFY(!fx.button("cmdOpenCOM")->isEnabled());
    QCOMPARE(fx.status(), kOpened);
}

void TestConnection::initialiseAfterAnotherPortCloses()
{
    ConsoleFixture fx;
    QVERIFY(fx.open(1));
    fx.action("Int")->trigger();
    QVERIFY(!fx.portOpen());
    QCOMPARE(fx.status(), kStopped);
    QVERIFY(fx.button("cmdOpenCOM")->isEnabled());
    QVERIFY(!fx.button("cmdStart")->isEnabled());
    QCOMPARE(fx.ports()->currentIndex(), 0);
}

void TestConnection::typingSelectsNothing()
{
    ConsoleFixture fx;
    QLineEdit* edit = fx.ports()->lineEdit();
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("COM2"));
    QTest::keyClick(edit, Qt::Key_Return);
    fx.button("Stop")->setFocus(); // focus leaving ends the editing too
    QCOMPARE(fx.ports()->currentText(), QStringLiteral("COM2"));
    QCOMPARE(fx.ports()->currentIndex(), -1);
    QCOMPARE(fx.ports()->count(), 20); // nothing inserted
    QCOMPARE(fx.status(), QStringLiteral("系统消息")); // no change step ran

    fx.click("cmdOpenCOM");
    QCOMPARE(fx.boxes.texts(), QStringList{kChoiceError});
    QVERIFY(!fx.portOpen());
}

void TestConnection::endInsideAWaitEndsEverything()
{
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    int code = -1;
    QTimer::singleShot(0, [&] {
        later(30, [&] { fx.click("cmdEnd"); });
        fx.pick(1); // waits 100 ms; the end button is pressed inside the wait
    });
    code = QApplication::exec();
    QCOMPARE(code, 0);
    QVERIFY(!fx.portOpen());
    // The change step did not go on after its wait.
    QCOMPARE(fx.status(), kOpened);
    QVERIFY(!fx.button("cmdOpenCOM")->isEnabled());
    QVERIFY(!fx.form()->isVisible());
}

void TestConnection::exitInsideAWaitReleasesTheWindow()
{
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    later(30, [&] { fx.action("Exit")->trigger(); });
    fx.pick(1);
    QTRY_VERIFY(!fx.alive());
}

QTEST_MAIN(TestConnection)
#include "test_connection.moc"
