// Hostile text pasted into every box of the real window once: no crash, no frame for a refused
// command, one report each. What a box makes of such text is tested where it is computed.
#include "console/shape.h"
#include "support/checks.h"
#include "support/consolefixture.h"

class TestHostile : public QObject
{
    Q_OBJECT
private slots:
    void hostileText_data();
    void hostileText();
};

void TestHostile::hostileText_data()
{
    QTest::addColumn<QString>("text");  // refused as a speed and as a turn time
    QTest::addColumn<int>("rawByte");   // Send with this in command; -1: refused
    QTest::addColumn<bool>("alarmAt1"); // with this in MaxSpeed, a speed of 1 lights the lamp
    QTest::newRow("emoji") << QStringLiteral("🚗") << 0x00 << true;
    QTest::newRow("megabyteOfDigits") << QString(1 << 20, u'9') << -1 << false;
}

void TestHostile::hostileText()
{
    QFETCH(QString, text);
    QFETCH(int, rawByte);
    QFETCH(bool, alarmAt1);
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    const auto paste = [&](QLineEdit* edit) {
        edit->selectAll();
        edit->insert(text);
    };
    struct Use
    {
        const char* box;
        const char* control;
        QByteArray sent;
    };
    const Use uses[] = {
        {"NewSpeed", "Advanced", QByteArray()},
        {"ChangeTime", "Left", QByteArray()},
        {"command", "Send", rawByte < 0 ? QByteArray() : bytes({rawByte})},
    };
    for (const Use& use : uses) {
        paste(fx.edit(use.box));
        fx.click(use.control);
        fx.click("Stop"); // not a byte more before it
        QCOMPARE(fx.car1.read(int(use.sent.size()) + 1), use.sent + bytes({0x87}));
        QCOMPARE(fx.boxes.messages().size(), use.sent.isEmpty() ? 1 : 0);
        fx.boxes.clear();
    }

    // Typed into the port box it names no entry: opening refuses and the open port stays.
    paste(fx.ports()->lineEdit());
    fx.button("cmdOpenCOM")->setEnabled(true);
    fx.click("cmdOpenCOM");
    QCOMPARE(fx.boxes.texts(), QStringList{QStringLiteral("指定通信端口时发生错误！")});
    fx.boxes.clear();
    fx.click("Stop");
    QCOMPARE(fx.car1.read(1), bytes({0x87}));

    // The alarm speed never fails, the lamp follows its number; the interval fails each tick.
    paste(fx.edit("MaxSpeed"));
    fx.edit("delaytime")->setText(QStringLiteral("10"));
    fx.click("cmdStart");
    fx.car1.write(bytes({0x01}));
    QTRY_COMPARE(fx.get<QLabel>("lblValue")->text(), QStringLiteral("01R/Min"));
    QCOMPARE(fx.get<smartcar::Shape>("LED1")->fillColor() == QColor(0, 255, 0), alarmAt1);
    paste(fx.edit("delaytime"));
    QTRY_VERIFY(fx.status().startsWith(QStringLiteral("接收失败：")));
    QVERIFY(fx.boxes.messages().isEmpty());
}

QTEST_MAIN(TestHostile)
#include "test_hostile.moc"
