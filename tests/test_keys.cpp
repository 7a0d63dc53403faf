// Driving from the keyboard: each key gives the frame of its button on a real serial line, a
// held key gives one, and a text box keeps its own keys.
#include "support/bytes.h"
#include "support/consolefixture.h"

#include <QKeyEvent>

using namespace std::chrono_literals;

class TestKeys : public QObject
{
    Q_OBJECT
private slots:
    void keysGiveTheirButtonsFrames_data();
    void keysGiveTheirButtonsFrames();
};

// `keys` is what the keyboard does, in order, 100 ms apart: "+Up" presses Up, "-Up" lets it
// go, "*Up" is one auto-repeat while Up is held, marked as such; "~Up" is one as X11 sends it
// when the mark is lost: a release and a press with the same time stamp. "KpUp": keypad key.
void TestKeys::keysGiveTheirButtonsFrames_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QByteArray>("frames");
    QTest::addColumn<int>("cursorShift"); // of the text box with the focus
    // A button would otherwise take the arrows for moving the focus.
    QTest::newRow("eachArrowDrivesAHeldOneOnce")
        << "Send" << "+Up *Up *Up -Up +Down -Down +Left -Left +Right -Right +KpUp -KpUp"
        << bytes({0x85, 0x60, 0x86, 0x60, 0x81, 0x83, 0x82, 0x84, 0x85, 0x60}) << 0;
    QTest::newRow("escBrakesFromThePortBox") << "cmbCOM" << "+Esc -Esc" << bytes({0x87}) << 0;
    QTest::newRow("escBrakesFromATextBoxUnmarkedRepeatNot")
        << "NewSpeed" << "+Esc ~Esc ~Esc -Esc" << bytes({0x87}) << 0;
    QTest::newRow("arrowsInATextBoxStayThere")
        << "ChangeTime" << "+Left -Left +Up -Up" << QByteArray() << -1;
}

void TestKeys::keysGiveTheirButtonsFrames()
{
    QFETCH(QString, focus);
    QFETCH(QString, keys);
    QFETCH(QByteArray, frames);
    QFETCH(int, cursorShift);
    ConsoleFixture console;
    QVERIFY(console.open());
    console.edit("ChangeTime")->setText(QStringLiteral("0")); // a turn centres at once
    auto* target = console.get<QWidget>(qPrintable(focus));
    target->setFocus();
    auto* edit = qobject_cast<QLineEdit*>(target);
    const int cursorBefore = edit ? edit->cursorPosition() : 0;

    static const QHash<QString, int> codes = {{"Up", Qt::Key_Up}, {"Down", Qt::Key_Down},
        {"Left", Qt::Key_Left}, {"Right", Qt::Key_Right}, {"Esc", Qt::Key_Escape}};
    quint64 time = 1000;
    for (const QString& step : keys.split(QLatin1Char(' '))) {
        const bool keypad = step.mid(1).startsWith(QLatin1String("Kp"));
        const int key = codes.value(step.mid(keypad ? 3 : 1));
        time += 100;
        const auto send = [&](QEvent::Type type, bool marked) {
            QKeyEvent event(type, key, keypad ? Qt::KeypadModifier : Qt::NoModifier, {}, marked);
            event.setTimestamp(time);
            QApplication::sendEvent(console.form()->focusWidget(), &event);
        };
        if (step.front() == u'~')
            send(QEvent::KeyRelease, false);
        send(step.front() == u'-' ? QEvent::KeyRelease : QEvent::KeyPress, step.front() == u'*');
    }

    QCOMPARE(console.car1.read(int(frames.size()) + 1, 100ms), frames); // and not a byte more
    QVERIFY(console.boxes.messages().isEmpty());
    QCOMPARE(console.form()->focusWidget(), target);
    if (edit)
        QCOMPARE(edit->cursorPosition(), cursorBefore + cursorShift);
}

QTEST_MAIN(TestKeys)
#include "test_keys.moc"
