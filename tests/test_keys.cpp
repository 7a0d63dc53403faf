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
// when the mark is lost: a release and a press with the same time stamp. "Kp": keypad key.
void TestKeys::keysGiveTheirButtonsFrames_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QByteArray>("frames");
    QTest::addColumn<int>("cursorShift"); // of the text box with the focus

    // A button would otherwise take the arrows for moving the focus.
    QTest::newRow("up advances") << "Send" << "+Up -Up" << bytes({0x85, 0x60}) << 0;
    QTest::newRow("down retreats") << "Send" << "+Down -Down" << bytes({0x86, 0x60}) << 0;
    QTest::newRow("left turns and centres") << "Send" << "+Left -Left" << bytes({0x81, 0x83}) << 0;
    QTest::newRow("right turns and centres")
        << "Send" << "+Right -Right" << bytes({0x82, 0x84}) << 0;
    QTest::newRow("keypad arrow drives") << "Send" << "+KpUp -KpUp" << bytes({0x85, 0x60}) << 0;
    QTest::newRow("esc brakes from a text box")
        << "NewSpeed" << "+Escape -Escape" << bytes({0x87}) << 0;
    QTest::newRow("esc brakes from the port box")
        << "cmbCOM" << "+Escape -Escape" << bytes({0x87}) << 0;
    QTest::newRow("held key sends once, a new press again")
        << "Send" << "+Up *Up *Up -Up +Up -Up" << bytes({0x85, 0x60, 0x85, 0x60}) << 0;
    QTest::newRow("unmarked repeat sends nothing")
        << "Send" << "+Escape ~Escape ~Escape -Escape" << bytes({0x87}) << 0;
    QTest::newRow("arrows in a text box stay there")
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
    auto* target = console.get<QWidget>(focus.toLatin1().constData());
    target->setFocus();
    QCOMPARE(console.form()->focusWidget(), target);
    auto* edit = qobject_cast<QLineEdit*>(target);
    const int cursorBefore = edit ? edit->cursorPosition() : 0;

    static const QHash<QString, int> codes = {{"Up", Qt::Key_Up}, {"Down", Qt::Key_Down},
                                             {"Left", Qt::Key_Left}, {"Right", Qt::Key_Right},
                                             {"Escape", Qt::Key_Escape}};
    // To whatever has the focus now, as the keyboard's keys go.
    auto send = [&](QEvent::Type type, int key, Qt::KeyboardModifiers mods, bool marked,
                    quint64 time) {
        QKeyEvent event(type, key, mods, QString(), marked);
        event.setTimestamp(time);
        QApplication::sendEvent(console.form()->focusWidget(), &event);
    };
    quint64 time = 1000;
    for (const QString& step : keys.split(QLatin1Char(' '))) {
        const QChar what = step.front();
        QString name = step.mid(1);
        const bool keypad = name.startsWith(QLatin1String("Kp"));
        if (keypad)
            name.remove(0, 2);
        QVERIFY2(codes.contains(name), qPrintable(step));
        const int key = codes.value(name);
        const auto mods = keypad ? Qt::KeypadModifier : Qt::NoModifier;
        time += 100;
        if (what == QLatin1Char('~'))
            send(QEvent::KeyRelease, key, mods, false, time);
        send(what == QLatin1Char('-') ? QEvent::KeyRelease : QEvent::KeyPress, key, mods,
             what == QLatin1Char('*'), time);
    }

    // Asks for one byte more than expected, so a frame too many shows.
    QCOMPARE(console.car1.read(int(frames.size()) + 1, 500ms), frames);
    QVERIFY(console.boxes.messages().isEmpty());
    QCOMPARE(console.form()->focusWidget(), target);
    if (edit)
        QCOMPARE(edit->cursorPosition(), cursorBefore + cursorShift);
}

QTEST_MAIN(TestKeys)
#include "test_keys.moc"
