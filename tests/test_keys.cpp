// Driving from the keyboard, read as the frames on a real serial line.
#include "support/checks.h"
#include "support/consolefixture.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMessageBox>
#include <QWindow>

using namespace smartcar;
using namespace Qt::StringLiterals;

namespace {
// Window-system input, queued as the display server's would be and delivered by the event
// loop: it meets the console the way a real key or click does, modal blocking included.
void queueKey(QWindow* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    qt_handleKeyEvent(window, QEvent::KeyPress, key, modifiers);
    qt_handleKeyEvent(window, QEvent::KeyRelease, key, modifiers);
}

void queueClick(QWidget* control)
{
    static int time = 1000;
    const QPointF at = control->mapTo(control->window(), control->rect().center());
    const QPointF global = control->mapToGlobal(control->rect().center());
    QWindow* window = control->window()->windowHandle();
    time += 500; // never a double click
    qt_handleMouseEvent(window, at, global, Qt::LeftButton, Qt::LeftButton,
                        QEvent::MouseButtonPress, Qt::NoModifier, time);
    qt_handleMouseEvent(window, at, global, Qt::NoButton, Qt::LeftButton,
                        QEvent::MouseButtonRelease, Qt::NoModifier, time + 50);
}
} // namespace

class TestKeys : public QObject
{
    Q_OBJECT
private slots:
    void keysGiveTheirButtonsFrames_data();
    void keysGiveTheirButtonsFrames();
    void brakeGetsPastABox_data();
    void brakeGetsPastABox();
    void brakeQueuedBehindATurnWhoseClickFails_data();
    void brakeQueuedBehindATurnWhoseClickFails();
};

namespace {
// One thing the keyboard does. A held key repeats with the auto-repeat mark; X11 loses the mark
// now and then and sends a release and a press with the same time stamp instead.
struct KeyStep
{
    enum Action { Press, Release, Repeat, UnmarkedRepeat } action;
    QKeyCombination key;
};
using Keys = QList<KeyStep>;

Keys tap(QKeyCombination key)
{
    return {{KeyStep::Press, key}, {KeyStep::Release, key}};
}
} // namespace

Q_DECLARE_METATYPE(Keys)

void TestKeys::keysGiveTheirButtonsFrames_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<Keys>("keys"); // in order, 100 ms apart
    QTest::addColumn<QByteArray>("frames");
    QTest::addColumn<int>("cursor"); // where it is in the text box with the focus afterwards
    const QKeyCombination up(Qt::Key_Up);
    const QKeyCombination esc(Qt::Key_Escape);
    QTest::newRow("eachArrowDrivesAHeldOneOnce")
        << u"Send"_s
        << Keys{{KeyStep::Press, up},
                {KeyStep::Repeat, up},
                {KeyStep::Repeat, up},
                {KeyStep::Release, up}}
            + tap(Qt::Key_Down) + tap(Qt::Key_Left) + tap(Qt::Key_Right)
            + tap(Qt::KeypadModifier | Qt::Key_Up)
        << bytes({0x85, 0x60, 0x86, 0x60, 0x81, 0x83, 0x82, 0x84, 0x85, 0x60}) << 0;
    QTest::newRow("escBrakesFromThePortBox") << u"cmbCOM"_s << tap(esc) << bytes({0x87}) << 0;
    QTest::newRow("escBrakesFromATextBoxUnmarkedRepeatNot") << u"NewSpeed"_s
                                                            << Keys{{KeyStep::Press, esc},
                                                                    {KeyStep::UnmarkedRepeat, esc},
                                                                    {KeyStep::UnmarkedRepeat, esc},
                                                                    {KeyStep::Release, esc}}
                                                            << bytes({0x87}) << 3;
    QTest::newRow("escWithShiftCtrlOrAltHeldStillBrakes") << u"NewSpeed"_s
                                                          << tap(Qt::ShiftModifier | Qt::Key_Escape)
            + tap(Qt::ControlModifier | Qt::Key_Escape) + tap(Qt::AltModifier | Qt::Key_Escape)
                                                          << bytes({0x87, 0x87, 0x87}) << 3;
    QTest::newRow("arrowsInATextBoxStayThere")
        << u"ChangeTime"_s << tap(Qt::Key_Left) + tap(up) << QByteArray() << 0;
}

void TestKeys::keysGiveTheirButtonsFrames()
{
    QFETCH(QString, focus);
    QFETCH(Keys, keys);
    QFETCH(QByteArray, frames);
    QFETCH(int, cursor);
    ConsoleFixture console;
    QVERIFY(console.open());
    console.edit("ChangeTime")->setText(QStringLiteral("0")); // a turn centres at once
    auto* target = console.get<QWidget>(qPrintable(focus));
    target->setFocus();
    quint64 time = 1000;
    for (const KeyStep& step : keys) {
        time += 100;
        const bool unmarked = step.action == KeyStep::UnmarkedRepeat;
        for (bool press : unmarked ? QList{false, true} : QList{step.action != KeyStep::Release}) {
            QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, step.key.key(),
                            step.key.keyboardModifiers(), {}, step.action == KeyStep::Repeat);
            event.setTimestamp(time);
            QApplication::sendEvent(console.form()->focusWidget(), &event);
        }
    }

    console.click("Stop"); // not a byte more before it
    QCOMPARE(console.car1.read(int(frames.size()) + 1), frames + bytes({0x87}));
    QVERIFY(console.boxes.messages().isEmpty());
    QCOMPARE(console.form()->focusWidget(), target);
    if (auto* edit = qobject_cast<QLineEdit*>(target))
        QCOMPARE(edit->cursorPosition(), cursor);
}

// A failure's box is up (a real one, shown); what the operator does next, as the display
// server delivers it. `target`: "box", "window" (the main window's keyboard focus) or the name
// of a control clicked; `key` 0 for the click.
void TestKeys::brakeGetsPastABox_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QByteArray>("frames");
    QTest::addColumn<bool>("boxStays");
    QTest::newRow("escOnTheBoxBrakesAndClosesIt")
        << "box" << int(Qt::Key_Escape) << Qt::KeyboardModifiers() << bytes({0x87}) << false;
    QTest::newRow("ctrlEscOnTheBoxToo")
        << "box" << int(Qt::Key_Escape) << Qt::KeyboardModifiers(Qt::ControlModifier)
        << bytes({0x87}) << false;
    QTest::newRow("escMeantForTheWindowBrakes")
        << "window" << int(Qt::Key_Escape) << Qt::KeyboardModifiers(Qt::ShiftModifier)
        << bytes({0x87}) << true;
    QTest::newRow("clickOnTheBrakeButtonBrakes")
        << "Stop" << 0 << Qt::KeyboardModifiers() << bytes({0x87}) << true;
    QTest::newRow("clickOnAnotherControlStaysBlocked")
        << "Check1" << 0 << Qt::KeyboardModifiers() << QByteArray() << true;
    QTest::newRow("arrowForTheWindowStaysBlocked")
        << "window" << int(Qt::Key_Up) << Qt::KeyboardModifiers() << QByteArray() << true;
}

void TestKeys::brakeGetsPastABox()
{
    QFETCH(QString, target);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QByteArray, frames);
    QFETCH(bool, boxStays);
    ConsoleFixture console;
    QVERIFY(console.open());
    RealBoxes real;
    console.button("Send")->setFocus();
    console.edit("NewSpeed")->setText(QStringLiteral("12O"));
    console.click("Advanced");
    const QPointer<QMessageBox> box = qobject_cast<QMessageBox*>(shownMessageBox());
    QVERIFY(box && box->isVisible() && box->text().startsWith(u"类型不匹配"));
    QVERIFY(QTest::qWaitForWindowExposed(box));

    if (key == 0)
        queueClick(console.get<QWidget>(qPrintable(target)));
    else
        queueKey(target == u"box" ? box->windowHandle() : console.form()->windowHandle(), key,
                 modifiers);
    QCoreApplication::processEvents();
    QCOMPARE(console.car1.read(int(frames.size()) + 1, std::chrono::milliseconds(100)), frames);
    if (boxStays)
        QVERIFY(box && box->isVisible());
    else
        QTRY_VERIFY(!box || !box->isVisible());
    QVERIFY(!console.get<QCheckBox>("Check1")->isChecked());
}

// Turn time 300 and a speed that is no number: → and, while the turn holds the console, a
// click on Advance and the brake. The click fails once the centring frame is out, and its box must
// not swallow the Esc queued behind it.
void TestKeys::brakeQueuedBehindATurnWhoseClickFails_data()
{
    QTest::addColumn<bool>("byKey"); // otherwise a click on 冷制动
    QTest::newRow("esc") << true;
    QTest::newRow("clickOnTheBrakeButton") << false;
}

void TestKeys::brakeQueuedBehindATurnWhoseClickFails()
{
    QFETCH(bool, byKey);
    ConsoleFixture console;
    QVERIFY(console.open());
    RealBoxes real;
    console.button("Send")->setFocus();
    console.edit("ChangeTime")->setText(QStringLiteral("300"));
    console.edit("NewSpeed")->setText(QStringLiteral("abc"));
    QWindow* window = console.form()->windowHandle();
    queueKey(window, Qt::Key_Right);
    queueClick(console.button("Advanced"));
    if (byKey)
        queueKey(window, Qt::Key_Escape);
    else
        queueClick(console.button("Stop"));

    QByteArray frames;
    QTRY_VERIFY((frames += console.car1.drain()).size() >= 3);
    QCOMPARE(frames + console.car1.read(1, std::chrono::milliseconds(100)),
             bytes({0x82, 0x84, 0x87}));
    auto* box = qobject_cast<QMessageBox*>(shownMessageBox());
    QVERIFY(box && box->text().startsWith(u"类型不匹配"));
}

QTEST_MAIN(TestKeys)
#include "test_keys.moc"
