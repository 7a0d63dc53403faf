// The bytes the driving controls and keys put on a real serial line, or why they put none,
// and the brake getting past a box or a turn.
#include "support/consolefixture.h"

#include <QAccessible>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMessageBox>
#include <QWindow>

#include <atomic>
#include <functional>
#include <thread>

namespace smartcar {

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

using Typed = QMap<QString, QString>; // a box and the text typed into it

namespace {
// Window-system input, queued as the display server's would be and delivered by the event
// loop: it meets the console the way a real key or click does, modal blocking included.
void queueKey(QWindow* window, QKeyCombination key)
{
    qt_handleKeyEvent(window, QEvent::KeyPress, key.key(), key.keyboardModifiers());
    qt_handleKeyEvent(window, QEvent::KeyRelease, key.key(), key.keyboardModifiers());
}

// The left button pressed or let go over the middle of `control` (a few pixels off it with
// `dx`), as the display server reports it.
void queueMouse(QWidget* control, QEvent::Type type, int dx = 0)
{
    static int time = 1000;
    const QPoint middle = control->rect().center() + QPoint(dx, 0);
    const QPointF at = control->mapTo(control->window(), middle);
    const QPointF global = control->mapToGlobal(middle);
    time += type == QEvent::MouseButtonPress ? 500 : 50; // never a double click
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton
                                                                     : Qt::LeftButton;
    qt_handleMouseEvent(control->window()->windowHandle(), at, global, held, Qt::LeftButton, type,
                        Qt::NoModifier, time);
}

void queueClick(QWidget* control)
{
    queueMouse(control, QEvent::MouseButtonPress);
    queueMouse(control, QEvent::MouseButtonRelease);
}

// The bytes that reached the car while `press` ran and after, each with when it landed, in
// milliseconds from just before `press`, read by a thread of the car's own so that a press that
// holds the window still cannot delay the stamps. Waits, the window's events running, until
// `count` bytes have come or 15 s have passed.
struct Landed
{
    QByteArray bytes;
    QList<qint64> at;
    qint64 pressReturned = 0;
};

Landed landedDuring(PtyPair& car, int count, const std::function<void()>& press)
{
    Landed out;
    QElapsedTimer clock;
    clock.start();
    std::atomic<bool> done = false;
    std::thread reader([&] {
        while (out.bytes.size() < count && clock.elapsed() < 15000)
            for (char byte : car.read(1, 100ms)) {
                out.bytes += byte;
                out.at << clock.elapsed();
            }
        done = true;
    });
    press();
    out.pressReturned = clock.elapsed();
    static_cast<void>(QTest::qWaitFor([&] { return done.load(); }, 16000));
    reader.join();
    return out;
}

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

// A key held down through two repeats of the kind given.
Keys held(QKeyCombination key, KeyStep::Action repeat)
{
    return {{KeyStep::Press, key}, {repeat, key}, {repeat, key}, {KeyStep::Release, key}};
}

// What the operator does while a box is up: a key on the box or on the main window, or a click
// on one of the main window's controls.
struct Input
{
    enum To { Box, Window, Control } to;
    QKeyCombination key;
    const char* control;
    static Input keyOnTheBox(QKeyCombination key) { return {Box, key, nullptr}; }
    static Input keyForTheWindow(QKeyCombination key) { return {Window, key, nullptr}; }
    static Input click(const char* control) { return {Control, {}, control}; }
};
} // namespace

class TestDrive : public QObject
{
    Q_OBJECT
private slots:
    void framesFromTheControls_data()
    {
        QTest::addColumn<QStringList>("controls"); // clicked in turn
        QTest::addColumn<Typed>("typed");          // box and its text; the others initial
        QTest::addColumn<QByteArray>("frames");    // empty: each refused with a box, nothing sent
        QTest::addColumn<bool>("portOpen");        // else opened only for the brake at the end
        const auto row = [](const char* name, const QStringList& controls, const Typed& typed,
                            const QByteArray& frames, bool portOpen = true) {
            QTest::newRow(name) << controls << typed << frames << portOpen;
        };
        row("typedTextsAndRanging",
            {"Advanced", "Retreat", "Start", "Send", "Check1", "Check1", "Check1"},
            {{"NewSpeed", "99"}, {"command", "ff"}},
            bytes({0x85, 0x49, 0x86, 0x49, 0x8A, 0x49, 0xFF, 0x88, 0x89, 0x88}));
        row("tooFastSendsNothing", {"Retreat"}, {{"NewSpeed", "200"}}, {});
        // A negative turn time is no wait, not weeks unsigned. Pasted junk is refused before the
        // turn frame goes out.
        row("negativeTurnNoWait", {"Right"}, {{"ChangeTime", "-1"}}, bytes({0x82, 0x84}));
        row("megabyteTurnTimeRefusedBeforeTheTurn", {"Left"},
            {{"ChangeTime", QString(1 << 20, u'9')}}, {});
        // Nothing is held back to go out on opening, and no turn waits (here 20 s if it did).
        row("withoutAPortEachRefusedNoneWaits",
            {"Advanced", "Retreat", "Start", "Stop", "Left", "Right", "Send", "Check1"},
            {{"ChangeTime", "10000"}}, {}, false);
    }

    void framesFromTheControls()
    {
        QFETCH(QStringList, controls);
        QFETCH(Typed, typed);
        QFETCH(QByteArray, frames);
        QFETCH(bool, portOpen);
        ConsoleFixture fx;
        QVERIFY(!portOpen || fx.open(0));
        for (auto it = typed.cbegin(); it != typed.cend(); ++it)
            fx.edit(qPrintable(it.key()))->setText(it.value());
        for (const QString& control : controls)
            fx.get<QAbstractButton>(qPrintable(control))->click();
        QCOMPARE(fx.boxes.messages().size(), frames.isEmpty() ? controls.size() : 0);
        QVERIFY(portOpen || fx.open(0));
        fx.click("Stop"); // whole, whatever the boxes hold; no stray byte before it
        QCOMPARE(fx.car1.read(int(frames.size()) + 1), frames + bytes({0x87}));
    }

    // A turn's frame goes out as the turn begins and is on the wire alone for the turn's time
    // (301.5 ms is 302). The window holds still in a turn: a thread sees each frame land.
    void turnHoldsItsFrameAloneForItsTime()
    {
        ConsoleFixture fx;
        QVERIFY(fx.open(0));
        fx.edit("ChangeTime")->setText(QStringLiteral("301.5"));
        const Landed landed = landedDuring(fx.car1, 2, [&] { fx.click("Left"); });
        QCOMPARE(landed.bytes, bytes({0x81, 0x83}));
        QVERIFY(landed.pressReturned >= 302);
        QVERIFY(landed.at.last() - landed.at.first() >= 302 - 20); // stamps may be late
    }

    void keysGiveTheirButtonsFrames_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<Keys>("keys"); // in order, 100 ms apart
        QTest::addColumn<QByteArray>("frames");
        const QKeyCombination up(Qt::Key_Up);
        const QKeyCombination esc(Qt::Key_Escape);
        QTest::newRow("eachArrowDrivesAHeldOneOnce")
            << u"Send"_s
            << held(up, KeyStep::Repeat) + tap(Qt::Key_Down) + tap(Qt::Key_Left)
                + tap(Qt::Key_Right) + tap(Qt::KeypadModifier | Qt::Key_Up)
            << bytes({0x85, 0x60, 0x86, 0x60, 0x81, 0x83, 0x82, 0x84, 0x85, 0x60});
        QTest::newRow("escWithShiftCtrlOrAltBrakesFromThePortBox")
            << u"cmbCOM"_s
            << tap(Qt::ShiftModifier | esc.key()) + tap(Qt::ControlModifier | esc.key())
                + tap(Qt::AltModifier | esc.key())
            << bytes({0x87, 0x87, 0x87});
        QTest::newRow("textBoxKeepsItsArrowsEscBrakesOnceRepeatedUnmarked")
            << u"ChangeTime"_s << tap(Qt::Key_Left) + tap(up) + held(esc, KeyStep::UnmarkedRepeat)
            << bytes({0x87});
    }

    void keysGiveTheirButtonsFrames()
    {
        QFETCH(QString, focus);
        QFETCH(Keys, keys);
        QFETCH(QByteArray, frames);
        ConsoleFixture console;
        QVERIFY(console.open());
        console.edit("ChangeTime")->setText(QStringLiteral("0")); // a turn centres at once
        auto* target = console.get<QWidget>(qPrintable(focus));
        target->setFocus();
        quint64 time = 1000;
        for (const KeyStep& step : keys) {
            time += 100;
            const bool unmarked = step.action == KeyStep::UnmarkedRepeat;
            for (bool press :
                 unmarked ? QList{false, true} : QList{step.action != KeyStep::Release}) {
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
    }

    // A failure's box is up (a real one, shown), or comes up behind a turn (→ with turn time 300,
    // then a click on 前进 with a speed that is no number, queued while the turn holds the
    // console); what the operator does next, as the display server delivers it.
    void brakeGetsPastABox_data()
    {
        QTest::addColumn<Input>("input");
        QTest::addColumn<bool>("behindATurn");
        QTest::addColumn<QByteArray>("frames");
        QTest::addColumn<bool>("boxStays");
        const auto row = [](const char* name, Input input, bool behindATurn,
                            const QByteArray& frames, bool boxStays) {
            QTest::newRow(name) << input << behindATurn << frames << boxStays;
        };
        const QKeyCombination esc(Qt::Key_Escape);
        row("escOnTheBoxBrakesAndClosesIt", Input::keyOnTheBox(esc), false, bytes({0x87}), false);
        row("escMeantForTheWindowBrakes", Input::keyForTheWindow(Qt::ShiftModifier | esc.key()),
            false, bytes({0x87}), true);
        row("clickOnAnotherControlStaysBlocked", Input::click("Check1"), false, {}, true);
        row("arrowForTheWindowStaysBlocked", Input::keyForTheWindow(Qt::Key_Up), false, {}, true);
        row("escQueuedBehindATurnWhoseClickFails", Input::keyForTheWindow(esc), true,
            bytes({0x82, 0x84, 0x87}), true);
        row("brakeClickQueuedBehindATurnWhoseClickFails", Input::click("Stop"), true,
            bytes({0x82, 0x84, 0x87}), true);
    }

    void brakeGetsPastABox()
    {
        QFETCH(Input, input);
        QFETCH(bool, behindATurn);
        QFETCH(QByteArray, frames);
        QFETCH(bool, boxStays);
        ConsoleFixture console;
        QVERIFY(console.open());
        RealBoxes real;
        console.button("Send")->setFocus();
        console.edit("NewSpeed")->setText(QStringLiteral("12O"));
        QWindow* window = console.form()->windowHandle();
        if (behindATurn) {
            console.edit("ChangeTime")->setText(QStringLiteral("300"));
            queueKey(window, Qt::Key_Right);
            queueClick(console.button("Advanced"));
        } else {
            console.click("Advanced");
            QVERIFY(QTest::qWaitForWindowExposed(shownMessageBox()));
        }
        const QPointer<QWidget> shownBefore = shownMessageBox();

        if (input.to == Input::Control)
            queueClick(console.get<QWidget>(input.control));
        else
            queueKey(input.to == Input::Box ? shownBefore->windowHandle() : window, input.key);
        QCoreApplication::processEvents();
        QByteArray got;
        QTRY_VERIFY((got += console.car1.drain()).size() >= frames.size());
        console.click("Stop"); // nothing more before it: the blocked input sent nothing else
        QCOMPARE(got + console.car1.read(1), frames + bytes({0x87}));
        const auto* box = qobject_cast<QMessageBox*>(shownMessageBox());
        if (boxStays) {
            QVERIFY(box);
            QVERIFY(box->isVisible());
            QVERIFY(box->text().startsWith(u"类型不匹配"));
        } else {
            QTRY_VERIFY(!shownBefore || !shownBefore->isVisible());
        }
        QVERIFY(!console.get<QCheckBox>("Check1")->isChecked());
    }

    // Esc and a click on 冷制动 during a long turn reach the car at once; a click on 前进 given
    // during the turn waits for the centring frame, which comes at the turn's time.
    void brakeLandsDuringATurn()
    {
        ConsoleFixture fx;
        QVERIFY(fx.open());
        fx.edit("ChangeTime")->setText(QStringLiteral("3000"));
        QWindow* window = fx.form()->windowHandle();
        later(100, [&] { queueKey(window, Qt::ShiftModifier | Qt::Key_Escape); });
        later(200, [&] { queueClick(fx.button("Stop")); });
        later(300, [&] { queueClick(fx.button("Advanced")); });
        const Landed landed = landedDuring(fx.car1, 6, [&] { fx.click("Left"); });
        QCOMPARE(landed.bytes, bytes({0x81, 0x87, 0x87, 0x83, 0x85, 0x60}));
        QVERIFY(landed.at[3] - landed.at[0] >= 3000 - 20); // stamps may be late
    }

    // The mouse or Space holds a driving button down while the brake goes out: letting go then
    // sends nothing, and the next press works as always.
    void brakeEndsAHeldPress_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("bySpace"); // otherwise the mouse, moved off and back on
        QTest::addColumn<int>("brakes");
        QTest::addColumn<QByteArray>("frame"); // of the press after
        QTest::newRow("mouseOnAdvance") << u"Advanced"_s << false << 1 << bytes({0x85, 0x60});
        QTest::newRow("spaceOnRetreatTwoBrakes")
            << u"Retreat"_s << true << 2 << bytes({0x86, 0x60});
        QTest::newRow("mouseOnLeft") << u"Left"_s << false << 1 << bytes({0x81, 0x83});
    }

    void brakeEndsAHeldPress()
    {
        QFETCH(QString, control);
        QFETCH(bool, bySpace);
        QFETCH(int, brakes);
        QFETCH(QByteArray, frame);
        ConsoleFixture fx;
        QVERIFY(fx.open());
        fx.edit("ChangeTime")->setText(QStringLiteral("0"));
        auto* button = fx.button(qPrintable(control));
        button->setFocus();
        quint64 time = 1000;
        // A key as the keyboard gives it, `after` milliseconds after the one before: an X11
        // repeat comes as a release and a press in the same millisecond.
        const auto key = [&](QEvent::Type type, Qt::Key k, int after = 100) {
            QKeyEvent event(type, k, Qt::NoModifier, k == Qt::Key_Space ? u" "_s : QString());
            event.setTimestamp(time += after);
            QApplication::sendEvent(button, &event);
        };
        if (bySpace)
            key(QEvent::KeyPress, Qt::Key_Space);
        else
            queueMouse(button, QEvent::MouseButtonPress);
        QCoreApplication::processEvents();
        QVERIFY(button->isDown());
        for (int i = 0; i < brakes; ++i) {
            key(QEvent::KeyPress, Qt::Key_Escape);
            key(QEvent::KeyRelease, Qt::Key_Escape);
        }
        if (bySpace) {
            key(QEvent::KeyRelease, Qt::Key_Space);
            key(QEvent::KeyPress, Qt::Key_Space, 0);
            key(QEvent::KeyRelease, Qt::Key_Space);
        } else {
            queueMouse(button, QEvent::MouseMove, 1000);
            queueMouse(button, QEvent::MouseMove);
            queueMouse(button, QEvent::MouseButtonRelease);
        }
        QCoreApplication::processEvents();
        QVERIFY(!button->isDown());
        QCOMPARE(fx.car1.read(brakes), QByteArray(brakes, '\x87'));
        if (bySpace) {
            key(QEvent::KeyPress, Qt::Key_Space);
            key(QEvent::KeyRelease, Qt::Key_Space);
        } else {
            queueClick(button);
        }
        QCoreApplication::processEvents();
        fx.click("Stop");
        QCOMPARE(fx.car1.read(int(frame.size()) + 1), frame + bytes({0x87}));
    }

    // A speed code sent alone leaves the car waiting for a speed byte: a built-in command after
    // it goes behind a filler 00 in the same write, so that the car reads it as that command; a
    // raw byte goes as typed, the operator's own speed byte.
    void speedCodeAloneThenACommand_data()
    {
        QTest::addColumn<QString>("code"); // typed and sent alone
        QTest::addColumn<QString>("then"); // a control clicked, or a raw byte typed and sent
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("advanceThenBrake") << u"85"_s << u"Stop"_s << bytes({0x85, 0x00, 0x87});
        QTest::newRow("retreatThenLeftTurn")
            << u"86"_s << u"Left"_s << bytes({0x86, 0x00, 0x81, 0x83});
        QTest::newRow("hotStartThenAdvance")
            << u"8a"_s << u"Advanced"_s << bytes({0x8A, 0x00, 0x85, 0x60});
        QTest::newRow("rawSpeedByteGoesAsTyped") << u"85"_s << u"87"_s << bytes({0x85, 0x87});
    }

    void speedCodeAloneThenACommand()
    {
        QFETCH(QString, code);
        QFETCH(QString, then);
        QFETCH(QByteArray, wire);
        ConsoleFixture fx;
        QVERIFY(fx.open());
        fx.edit("ChangeTime")->setText(QStringLiteral("0"));
        fx.edit("command")->setText(code);
        fx.click("Send");
        if (then.front().isDigit()) {
            fx.edit("command")->setText(then);
            fx.click("Send");
        } else {
            fx.click(qPrintable(then));
        }
        fx.click("Stop"); // the car reads commands again: a plain brake
        QCOMPARE(fx.car1.read(int(wire.size()) + 1), wire + bytes({0x87}));
        QVERIFY(fx.boxes.messages().isEmpty());
    }

    // A screen reader's Toggle on 超声测距使能 is a click: the car is told the state it shows.
    // A click still sends exactly one frame.
    void rangingToggledByAScreenReaderTellsTheCar()
    {
        ConsoleFixture fx;
        QVERIFY(fx.open());
        auto* box = fx.get<QCheckBox>("Check1");
        QAccessibleActionInterface* actions =
            QAccessible::queryAccessibleInterface(box)->actionInterface();
        QVERIFY(actions);
        actions->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(box->isChecked());
        box->click();
        actions->doAction(QAccessibleActionInterface::toggleAction());
        fx.click("Stop");
        QCOMPARE(fx.car1.read(4), bytes({0x88, 0x89, 0x88, 0x87}));
    }

    // A radix prefix reads as the byte 00, which goes out; the status panel says why.
    void prefixedRawByteIsExplained_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<bool>("explained");
        QTest::newRow("cStyle") << u" 0X87"_s << bytes({0x00}) << true;
        QTest::newRow("basicStyle") << u"&h87"_s << bytes({0x00}) << true;
        QTest::newRow("digitsAlone") << u"87"_s << bytes({0x87}) << false;
    }

    void prefixedRawByteIsExplained()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, sent);
        QFETCH(bool, explained);
        ConsoleFixture fx;
        QVERIFY(fx.open());
        fx.edit("command")->setText(typed);
        fx.click("Send");
        QCOMPARE(fx.car1.read(1), sent);
        QCOMPARE(fx.status().contains(u"而非“0x87”"), explained);
    }
};

} // namespace smartcar

QTEST_MAIN(smartcar::TestDrive)
#include "test_drive.moc"
