// Driving from the keyboard, read as the frames on a real serial line.
#include "support/checks.h"
#include "support/consolefixture.h"

#include <QKeyEvent>
#include <QKeySequence>

class TestKeys : public QObject
{
    Q_OBJECT
private slots:
    void keysGiveTheirButtonsFrames_data();
    void keysGiveTheirButtonsFrames();
};

// `keys` is what the keyboard does, in order, 100 ms apart: "+Up" presses Up, "-Up" lets it
// go, "*Up" is one auto-repeat while Up is held, marked as such; "~Up" is one as X11 sends it
// when the mark is lost: a release and a press with the same time stamp. "Num+": keypad.
void TestKeys::keysGiveTheirButtonsFrames_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QByteArray>("frames");
    QTest::addColumn<int>("cursor"); // where it is in the text box with the focus afterwards
    // clang-format off
    QTest::newRow("eachArrowDrivesAHeldOneOnce")
        << "Send" << "+Up *Up *Up -Up +Down -Down +Left -Left +Right -Right +Num+Up -Num+Up"
        << bytes({0x85, 0x60, 0x86, 0x60, 0x81, 0x83, 0x82, 0x84, 0x85, 0x60}) << 0;
    QTest::newRow("escBrakesFromThePortBox") << "cmbCOM" << "+Esc -Esc" << bytes({0x87}) << 0;
    QTest::newRow("escBrakesFromATextBoxUnmarkedRepeatNot")
        << "NewSpeed" << "+Esc ~Esc ~Esc -Esc" << bytes({0x87}) << 3;
    QTest::newRow("arrowsInATextBoxStayThere")
        << "ChangeTime" << "+Left -Left +Up -Up" << QByteArray() << 0;
    // clang-format on
}

void TestKeys::keysGiveTheirButtonsFrames()
{
    QFETCH(QString, focus);
    QFETCH(QString, keys);
    QFETCH(QByteArray, frames);
    QFETCH(int, cursor);
    ConsoleFixture console;
    QVERIFY(console.open());
    console.edit("ChangeTime")->setText(QStringLiteral("0")); // a turn centres at once
    auto* target = console.get<QWidget>(qPrintable(focus));
    target->setFocus();
    quint64 time = 1000;
    for (const QString& step : keys.split(QLatin1Char(' '))) {
        const QKeyCombination key = QKeySequence(step.mid(1))[0];
        time += 100;
        for (bool press : step.front() == u'~' ? QList{false, true} : QList{step.front() != u'-'}) {
            QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, key.key(),
                            key.keyboardModifiers(), {}, step.front() == u'*');
            event.setTimestamp(time);
            QApplication::sendEvent(console.form()->focusWidget(), &event);
        }
    }

    QCOMPARE(console.car1.read(int(frames.size()) + 1, std::chrono::milliseconds(100)), frames);
    QVERIFY(console.boxes.messages().isEmpty());
    QCOMPARE(console.form()->focusWidget(), target);
    if (auto* edit = qobject_cast<QLineEdit*>(target))
        QCOMPARE(edit->cursorPosition(), cursor);
}

QTEST_MAIN(TestKeys)
#include "test_keys.moc"
