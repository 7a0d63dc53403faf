// Whatever the operator types or pastes into any box of the console: no crash, no frame
// for a refused command, one clear report, and the next command goes out as ever.
#include "common/failure.h"
#include "console/shape.h"
#include "support/bytes.h"
#include "support/consolefixture.h"

#include <QComboBox>
#include <QLabel>

using namespace smartcar;
using namespace std::chrono_literals;

namespace {

// As a paste does it: the text lands in the box the way typing would put it there.
void paste(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    edit->insert(text);
}

QString megabyteOf(char c) { return QString(1 << 20, QLatin1Char(c)); }

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT
private slots:
    void hostileText_data();
    void hostileText();
};

void TestHostile::hostileText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("speedByte"); // Advanced with this in NewSpeed; -1: refused
    QTest::addColumn<bool>("turns");    // Left with this in ChangeTime goes out
    QTest::addColumn<int>("rawByte");   // Send with this in command; -1: refused
    QTest::addColumn<bool>("pollRuns"); // monitoring with this in delaytime shows readings
    QTest::addColumn<bool>("alarmAt1"); // with this in MaxSpeed, a speed of 1 lights the lamp

    // What each box makes of such text is tested where it is computed; here each kind of
    // failure travels through every box of the real window once.
    QTest::newRow("emoji") << QStringLiteral("🚗") << -1 << false << 0x00 << false << true;
    QTest::newRow("1 MB of digits") << megabyteOf('9') << -1 << false << -1 << false << false;
}

void TestHostile::hostileText()
{
    QFETCH(QString, text);
    QFETCH(int, speedByte);
    QFETCH(bool, turns);
    QFETCH(int, rawByte);
    QFETCH(bool, pollRuns);
    QFETCH(bool, alarmAt1);

    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    fx.edit("ChangeTime")->setText(QStringLiteral("1"));

    struct Use { const char* field; const char* control; QByteArray sent; };
    const Use uses[] = {
        {"NewSpeed", "Advanced", speedByte < 0 ? QByteArray() : bytes({0x85, speedByte})},
        {"ChangeTime", "Left", turns ? bytes({0x81, 0x83}) : QByteArray()},
        {"command", "Send", rawByte < 0 ? QByteArray() : bytes({rawByte})},
    };
    for (const Use& use : uses) {
        QLineEdit* edit = fx.edit(use.field);
        const QString before = edit->text();
        paste(edit, text);
        fx.click(use.control);
        QVERIFY(fx.alive());
        const QByteArray got = fx.car1.read(qMax(1, int(use.sent.size())), 200ms);
        QCOMPARE(got, use.sent);
        // A refused command says so once; one that went out says nothing.
        QCOMPARE(fx.boxes.messages().size(), use.sent.isEmpty() ? 1 : 0);
        fx.boxes.clear();
        edit->setText(before);

        fx.click("Stop");
        QCOMPARE(fx.car1.read(1), bytes({0x87}));
    }

    // Typed into the port box: it names no entry, so opening refuses with its one message
    // and the open port stays as it was.
    QLineEdit* portText = fx.ports()->lineEdit();
    paste(portText, text);
    QCOMPARE(fx.ports()->currentIndex(), -1);
    QCOMPARE(fx.ports()->count(), 20);
    fx.button("cmdOpenCOM")->setEnabled(true);
    fx.click("cmdOpenCOM");
    QCOMPARE(fx.boxes.texts(), QStringList{QStringLiteral("指定通信端口时发生错误！")});
    fx.boxes.clear();
    QVERIFY(fx.portOpen());
    fx.click("Stop");
    QCOMPARE(fx.car1.read(1), bytes({0x87}));
    QVERIFY(fx.boxes.messages().isEmpty());

    // The sampling interval: a tick that cannot read it says so in the status bar, not in a
    // box ten times a second, and monitoring resumes once the text is mended.
    QLabel* value = fx.get<QLabel>("lblValue");
    paste(fx.edit("delaytime"), text);
    fx.click("cmdStart");
    fx.car1.write(bytes({0x3C}));
    if (pollRuns) {
        QTRY_COMPARE(value->text(), QStringLiteral("60R/Min"));
    } else {
        QTRY_VERIFY(fx.status().startsWith(QStringLiteral("接收失败：")));
        QTest::qWait(300);
        QCOMPARE(value->text(), QString());
    }
    QVERIFY(fx.boxes.messages().isEmpty());
    fx.edit("delaytime")->setText(QStringLiteral("10"));
    QTest::qWait(200);
    fx.car1.write(bytes({0x05}));
    QTRY_COMPARE(value->text(), QStringLiteral("05R/Min"));

    // The alarm speed is read leniently and never fails; the lamp follows its number.
    paste(fx.edit("MaxSpeed"), text);
    fx.car1.write(bytes({0x01}));
    QTRY_COMPARE(value->text(), QStringLiteral("01R/Min"));
    QTest::qWait(150); // the tick that showed it has decided on the lamp as well
    const bool lit = fx.get<Shape>("LED1")->fillColor() == QColor(0, 255, 0);
    QCOMPARE(lit, alarmAt1);
    QVERIFY(fx.boxes.messages().isEmpty());
}

QTEST_MAIN(TestHostile)
#include "test_hostile.moc"
