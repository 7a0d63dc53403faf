// The main window's port selection, opening, closing and ending against pseudo-terminal cars.
// Which device an entry finds and why an open failed: test_serial; unplugging: test_reconnect.
#include "support/consolefixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QKeySequence>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTimer>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace smartcar {

using namespace Qt::StringLiterals;

namespace {
const QString kStopped = QStringLiteral("已停止通信并关闭通讯端口");
const QString kOpened = QStringLiteral("单击【开始通信】按钮，执行通信");

bool deviceIs9600_8N1(const QString& path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    const bool read = ::tcgetattr(fd, &t) == 0;
    ::close(fd);
    return read && cfgetospeed(&t) == B9600 && (t.c_cflag & (CSIZE | PARENB | CSTOPB)) == CS8;
}
} // namespace

class TestConnection : public QObject
{
    Q_OBJECT
private slots:
    void openingAnEntryThenInitialising_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("cursor"); // a picked entry is shown from its start
        QTest::newRow("firstEntryKeptByInitialising") << 0 << 4; // never picked: where Qt left it
        QTest::newRow("adapterPluggedInAfterStartIsCom3") << 2 << 0; // "COM3(USB)" from its start
    }

    void openingAnEntryThenInitialising()
    {
        QFETCH(int, index);
        QFETCH(int, cursor);
        PtyPair usb;
        ConsoleFixture fx;
        QVERIFY(QFile::link(usb.slavePath(), fx.devices.filePath(QStringLiteral("ttyUSB0"))));
        fx.ports()->showPopup(); // dropping the list down looks again
        fx.ports()->hidePopup();
        QVERIFY(fx.open(index));
        QCOMPARE(fx.ports()->lineEdit()->cursorPosition(), cursor);
        QVERIFY(fx.button("cmdStart")->isEnabled());
        QVERIFY(fx.boxes.texts().isEmpty());
        QCOMPARE(fx.status(), kOpened);
        QVERIFY(deviceIs9600_8N1(fx.ports()->toolTip())); // the device found on drop-down

        // Initialising picks the first entry: the port closes unless it is number 1; start goes
        // off.
        auto* timer = fx.get<QTimer>("Timer1");
        timer->start();
        fx.action("Int")->trigger();
        const bool kept = index == 0;
        QCOMPARE(fx.ports()->currentIndex(), 0);
        QVERIFY(!fx.button("cmdStart")->isEnabled());
        QCOMPARE(fx.portOpen(), kept);
        QCOMPARE(timer->isActive(), kept);
        QCOMPARE(fx.button("cmdOpenCOM")->isEnabled(), !kept);
    }

    void missingDeviceIsBoxedWithItsPath()
    {
        ConsoleFixture fx;
        QVERIFY(!fx.open(4));
        QCOMPARE(fx.boxes.texts(),
                 QStringList{u"打开通信端口时发生错误！请确定通信端口存在且正常。"_s});
        QVERIFY(fx.boxes.messages().first().informativeText.contains(u"/nonexistent/"));
        QVERIFY(!fx.button("cmdStart")->isEnabled());
        QCOMPARE(fx.status(), kStopped);
    }

    // A key with the list closed, in the box or in its text, changes nothing: an operator clicks
    // into the text to read it and presses an arrow. (A wheel notch: test_screen.)
    void keysWithTheListClosedChangeNothing()
    {
        ConsoleFixture fx;
        QComboBox* box = fx.ports();
        QVERIFY(fx.open(1)); // polling on COM2, so that keys up as well as down have an entry
        fx.click("cmdStart");
        const QString status = fx.status();
        for (QWidget* target : QList<QWidget*>{box, box->lineEdit()}) {
            for (const QKeyCombination key :
                 QList<QKeyCombination>{Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_PageUp,
                                        Qt::Key_End, Qt::Key_Home, Qt::AltModifier | Qt::Key_Up}) {
                QTest::keyClick(target, key.key(), key.keyboardModifiers());
                const QByteArray name = QKeySequence(key).toString().toUtf8();
                QVERIFY2(box->currentIndex() == 1, name.constData());
                QVERIFY2(fx.portOpen(), name.constData());
            }
        }
        QCOMPARE(fx.status(), status);
        fx.click("Stop"); // nothing before it
        QCOMPARE(fx.car2.read(2), bytes({0x87}));
    }

    void pickFromTheOpenedListRunsTheChangeStep_data()
    {
        QTest::addColumn<bool>("wasOpen");
        QTest::newRow("whilePolling") << true;
        QTest::newRow("rightAfterStartUp") << false;
    }

    void pickFromTheOpenedListRunsTheChangeStep()
    {
        QFETCH(bool, wasOpen);
        ConsoleFixture fx;
        QComboBox* box = fx.ports();
        auto* timer = fx.get<QTimer>("Timer1");
        QVERIFY(!wasOpen || fx.open(0));
        if (wasOpen)
            fx.click("cmdStart");
        // Monitoring stops, the port closes only after the wait.
        bool timerOnInWait = true;
        bool openInWait = !wasOpen;
        later(0, [&] {
            timerOnInWait = timer->isActive();
            openInWait = fx.portOpen();
        });
        QTest::keyClick(box, Qt::Key_Down, Qt::AltModifier);
        QVERIFY(box->view()->isVisible());
        QTest::keyClick(box->view(), Qt::Key_Down);
        QElapsedTimer clock;
        clock.start();
        QTest::keyClick(box->view(), Qt::Key_Return);
        QVERIFY(clock.elapsed() >= 100);
        QVERIFY(!timerOnInWait);
        QCOMPARE(openInWait, wasOpen);
        QCOMPARE(fx.status(), kStopped);
        QVERIFY(!fx.portOpen());
        QVERIFY(fx.button("cmdOpenCOM")->isEnabled());
        QCOMPARE(fx.button("cmdStart")->isEnabled(), wasOpen);
    }

    // Typed text selects nothing, neither on Return nor when the focus leaves; opening it is
    // refused. Only opening sets the port number: picking the entry again changes nothing.
    void typedTextSelectsNoEntry()
    {
        ConsoleFixture fx;
        QComboBox* box = fx.ports();
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), QStringLiteral("COM2"));
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        fx.button("Stop")->setFocus();
        QCOMPARE(box->currentIndex(), -1);
        QCOMPARE(box->count(), 20);
        fx.click("cmdOpenCOM");
        QCOMPARE(fx.boxes.texts(), QStringList{u"指定通信端口时发生错误！"_s});
        fx.pick(0);
        QCOMPARE(fx.status(), u"系统消息");
    }

    void endingAsTheChangeWaitBegins_data()
    {
        QTest::addColumn<bool>("byExit"); // otherwise by the end button
        QTest::newRow("endButton") << false;
        QTest::newRow("exitMenuStillEndsTheProgram") << true;
    }

    void endingAsTheChangeWaitBegins()
    {
        QFETCH(bool, byExit);
        ConsoleFixture fx;
        QVERIFY(fx.open(0));
        later(0, [&] {
            later(0, [&] { byExit ? fx.action("Exit")->trigger() : fx.click("cmdEnd"); });
            fx.pick(1); // waits 100 ms
        });
        later(10000, [] { QCoreApplication::exit(1); }); // hang guard only
        QCOMPARE(QApplication::exec(), 0);
        QTRY_COMPARE(fx.alive(), !byExit);
        if (byExit)
            return;
        // The change step did not go on after its wait.
        QVERIFY(!fx.portOpen());
        QVERIFY(!fx.button("cmdOpenCOM")->isEnabled());
        QCOMPARE(fx.status(), kOpened);
    }

    // A device path that looks like markup, in a real box: shown as written, and the operator can
    // select the text and copy it.
    void boxShowsADevicePathAsWrittenAndCopiesIt()
    {
        ConsoleFixture fx;
        const RealBoxes real;
        const auto restore = qScopeGuard([] { QGuiApplication::clipboard()->clear(); });
        const QString path = QStringLiteral("/tmp/x/<b>BOLD</b>");
        fx.mapPort(1, path);
        fx.click("cmdOpenCOM");
        auto* box = qobject_cast<QMessageBox*>(shownMessageBox());
        QVERIFY(box);
        QVERIFY(box->isVisible());
        QLabel* shown = nullptr;
        for (QLabel* label : box->findChildren<QLabel*>())
            shown = label->text().contains(path) ? label : shown;
        QVERIFY(shown);
        QCOMPARE(shown->textFormat(), Qt::PlainText);
        QCOMPARE(fx.get<QLabel>("panel_status")->textFormat(), Qt::PlainText);

        shown->setSelection(0, int(shown->text().size())); // as dragging over it does
        QTest::keyClick(shown, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), shown->text());
    }
};

} // namespace smartcar

QTEST_MAIN(smartcar::TestConnection)
#include "test_connection.moc"
