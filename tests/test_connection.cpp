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

namespace {
const QString kStopped = QStringLiteral("已停止通信并关闭通讯端口");
const QString kOpened = QStringLiteral("单击【开始通信】按钮，执行通信");
const QString kChoiceError = QStringLiteral("指定通信端口时发生错误！");

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
        QTest::addColumn<QString>("box"); // empty: the port opens
        QTest::newRow("firstEntryKeptByInitialising") << 0 << QString();
        QTest::newRow("adapterPluggedInAfterStartIsCom3") << 2 << QString();
        QTest::newRow("missingDeviceBoxed")
            << 4 << QStringLiteral("打开通信端口时发生错误！请确定通信端口存在且正常。");
    }

    void openingAnEntryThenInitialising()
    {
        QFETCH(int, index);
        QFETCH(QString, box);
        PtyPair usb;
        ConsoleFixture fx;
        QVERIFY(QFile::link(usb.slavePath(), fx.devices.filePath(QStringLiteral("ttyUSB0"))));
        fx.ports()->showPopup(); // dropping the list down looks again
        fx.ports()->hidePopup();

        const bool opens = box.isEmpty();
        QCOMPARE(fx.open(index), opens);
        QVERIFY(index == 0
                || fx.ports()->lineEdit()->cursorPosition() == 0); // "COM3(USB)" at start
        QCOMPARE(fx.button("cmdStart")->isEnabled(), opens);
        QCOMPARE(fx.status(), opens ? kOpened : kStopped);
        QCOMPARE(fx.boxes.texts(), opens ? QStringList() : QStringList{box});
        QVERIFY(index != 4
                || fx.boxes.messages().first().informativeText.contains(u"/nonexistent/"));
        QVERIFY(!opens || deviceIs9600_8N1(fx.ports()->toolTip())); // the device found on drop-down

        // Initialising picks the first entry: the port closes unless it is number 1; start goes
        // off.
        auto* timer = fx.get<QTimer>("Timer1");
        if (opens)
            timer->start();
        fx.action("Int")->trigger();
        const bool kept = opens && index == 0;
        QVERIFY(fx.ports()->currentIndex() == 0 && !fx.button("cmdStart")->isEnabled());
        QVERIFY(fx.portOpen() == kept && timer->isActive() == kept
                && fx.button("cmdOpenCOM")->isEnabled() == !kept);
    }

    void onlyADeliberatePickRunsTheChangeStep_data()
    {
        QTest::addColumn<bool>("wasOpen");
        QTest::newRow("whilePolling") << true;
        QTest::newRow("rightAfterStartUp") << false;
    }

    void onlyADeliberatePickRunsTheChangeStep()
    {
        QFETCH(bool, wasOpen);
        ConsoleFixture fx;
        QComboBox* box = fx.ports();
        auto* timer = fx.get<QTimer>("Timer1");
        QVERIFY(box->currentText() == u"COM1" && fx.status() == u"系统消息" && !timer->isActive()
                && !fx.button("cmdStart")->isEnabled());
        // Polling on COM2, so that keys up as well as down have an entry to go to.
        const int entry = wasOpen ? 1 : 0;
        if (wasOpen) {
            QVERIFY(fx.open(entry));
            fx.click("cmdStart");
        }
        const QString status = fx.status();
        // A key with the list closed, in the box or in its text, changes nothing: an operator
        // clicks into the text to read it and presses an arrow. (A wheel notch: test_screen.)
        for (QWidget* target : QList<QWidget*>{box, box->lineEdit()}) {
            for (const QKeyCombination key :
                 QList<QKeyCombination>{Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_PageUp,
                                        Qt::Key_End, Qt::Key_Home, Qt::AltModifier | Qt::Key_Up}) {
                QTest::keyClick(target, key.key(), key.keyboardModifiers());
                QVERIFY2(box->currentIndex() == entry && fx.portOpen() == wasOpen,
                         qPrintable(QKeySequence(key).toString()));
            }
        }
        QVERIFY(fx.car2.read(1, std::chrono::milliseconds(50)).isEmpty() && fx.status() == status);

        // A pick from the opened list does: monitoring stops, the port closes only after the wait.
        bool timerOnInWait = true, openInWait = !wasOpen;
        later(0, [&] { timerOnInWait = timer->isActive(), openInWait = fx.portOpen(); });
        QTest::keyClick(box, Qt::Key_Down, Qt::AltModifier);
        QVERIFY(box->view()->isVisible());
        QTest::keyClick(box->view(), Qt::Key_Down);
        QElapsedTimer clock;
        clock.start();
        QTest::keyClick(box->view(), Qt::Key_Return);
        QVERIFY(clock.elapsed() >= 100 && !timerOnInWait && openInWait == wasOpen);
        QCOMPARE(fx.status(), kStopped);
        QVERIFY(!fx.portOpen() && fx.button("cmdOpenCOM")->isEnabled()
                && fx.button("cmdStart")->isEnabled() == wasOpen);

        // Typed text selects nothing, neither on Return nor when the focus leaves; opening it is
        // refused. Only opening sets the port number: the entry's port is still the same one.
        fx.get<QLabel>("panel_status")->setText(status);
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), QStringLiteral("COM2"));
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        fx.button("Stop")->setFocus();
        QVERIFY(box->currentIndex() == -1 && box->count() == 20);
        fx.click("cmdOpenCOM");
        QCOMPARE(fx.boxes.texts(), QStringList{kChoiceError});
        fx.pick(entry);
        QCOMPARE(fx.status(), status);
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
        QTRY_COMPARE(fx.alive(), !byExit); // and the change step did not go on after its wait:
        QVERIFY(
            byExit
            || (!fx.portOpen() && !fx.button("cmdOpenCOM")->isEnabled() && fx.status() == kOpened));
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
        QVERIFY(box && box->isVisible());
        QLabel* shown = nullptr;
        for (QLabel* label : box->findChildren<QLabel*>())
            shown = label->text().contains(path) ? label : shown;
        QVERIFY(shown && shown->textFormat() == Qt::PlainText);
        QVERIFY(fx.get<QLabel>("panel_status")->textFormat() == Qt::PlainText);

        shown->setSelection(0, int(shown->text().size())); // as dragging over it does
        QTest::keyClick(shown, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), shown->text());
    }
};

} // namespace smartcar

QTEST_MAIN(smartcar::TestConnection)
#include "test_connection.moc"
