// The main window through a screen reader's eyes, in-process through Qt's accessibility
// interfaces: every box named as the label beside it reads, the buttons acting through their
// actions, the lamp, the reading and the status heard as they change, and a flood of readings
// heard a few times a second, never more.
#include "console/spoken.h"
#include "support/consolefixture.h"

#include <QAccessible>
#include <QAccessibleValueChangeEvent>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

namespace smartcar {

using namespace Qt::StringLiterals;

namespace {
// What the accessibility bridge was told, while one of these lives.
struct Heard
{
    struct Event
    {
        QObject* object;
        QAccessible::Event type;
        QVariant value;
        QString name;
    };
    static inline QList<Event> events;

    Heard()
    {
        events.clear();
        // As when a screen reader listens: Qt tells the handler only then.
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
        QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
            QAccessibleInterface* face = event->accessibleInterface();
            events.append({event->object(), event->type(),
                           event->type() == QAccessible::ValueChanged
                               ? static_cast<QAccessibleValueChangeEvent*>(event)->value()
                               : QVariant(),
                           face ? face->text(QAccessible::Name) : QString()});
        });
    }
    ~Heard()
    {
        QAccessible::installUpdateHandler(nullptr);
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(false);
    }

    static qsizetype count(const QObject* object, QAccessible::Event type)
    {
        return std::count_if(events.cbegin(), events.cend(),
                             [&](const Event& e) { return e.object == object && e.type == type; });
    }
    static QStringList announced(const QObject* announcer)
    {
        QStringList texts;
        for (const Event& e : events) {
            if (e.object == announcer && e.type == QAccessible::ObjectShow)
                texts << e.name;
        }
        return texts;
    }
};

QAccessibleInterface* face(QObject* object)
{
    return QAccessible::queryAccessibleInterface(object);
}
} // namespace

class TestAccessible : public QObject
{
    Q_OBJECT
private slots:
    void controlsAreNamedAsTheirLabelsRead_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::newRow("speedBox") << u"NewSpeed"_s << u"更新速度"_s;
        QTest::newRow("turnTimeBox") << u"ChangeTime"_s << u"转向时间"_s;
        QTest::newRow("distanceBox") << u"Text3"_s << u"前方障碍物距离"_s;
        QTest::newRow("commandBoxByItsFrame") << u"command"_s << u"串口命令栏"_s;
        QTest::newRow("alarmSpeedBox") << u"MaxSpeed"_s << u"报警速度"_s;
        QTest::newRow("receiveLengthBox") << u"Datalen"_s << u"接收数据长度"_s;
        QTest::newRow("samplingIntervalBox") << u"delaytime"_s << u"采样间隔"_s;
        QTest::newRow("lamp") << u"LED1"_s << u"报警灯"_s;
        QTest::newRow("buttonKeepsItsCaption") << u"Stop"_s << u"冷制动"_s;
    }

    void controlsAreNamedAsTheirLabelsRead()
    {
        QFETCH(QString, control);
        QFETCH(QString, name);
        ConsoleFixture fx;
        QCOMPARE(face(fx.get<QWidget>(control.toLatin1().constData()))->text(QAccessible::Name),
                 name);
    }

    // On Linux a combo box's name is its text, and its label a relation (Qt's rule, which Orca
    // follows: "串口号 editable combo box. COM1."); the label comes before the frame's caption.
    void portBoxIsLabelledByItsLabel()
    {
        ConsoleFixture fx;
        const auto labels = face(fx.ports())->relations(QAccessible::Label);
        QVERIFY(!labels.isEmpty());
        QCOMPARE(labels.first().first->text(QAccessible::Name), u"串口号"_s);
    }

    // Orca reads a box's line by its runs of text attributes: one run short, "120" is "12".
    void textBoxTellsItsWholeTextAsOneRun()
    {
        ConsoleFixture fx;
        QAccessibleTextInterface* text = face(fx.get<QLineEdit>("NewSpeed"))->textInterface();
        QVERIFY(text);
        int start = -1;
        int end = -1;
        text->attributes(1, &start, &end);
        QCOMPARE(start, 0);
        QCOMPARE(end, 3);
        QCOMPARE(text->text(start, end), u"120"_s);
    }

    void pressActsAsAClick()
    {
        ConsoleFixture fx;
        QVERIFY(fx.open(0));
        face(fx.button("Advanced"))
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::pressAction());
        face(fx.button("Stop"))
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::pressAction());
        QByteArray sent;
        QTRY_COMPARE(sent += fx.car1.drain(), bytes({0x85, 0x60, 0x87})); // a press is animated
    }

    // A reading is a value change and a new name; the lamp coming on and each status message
    // are announced; after the unplug the reading says it is old.
    void readingLampAndStatusAreHeard()
    {
        const Heard heard;
        ConsoleFixture fx;
        QWidget* announcer = fx.get<QWidget>("announcer");
        auto* reading = fx.get<QLabel>("lblValue");
        QWidget* lamp = fx.get<QWidget>("LED1");
        QCOMPARE(face(lamp)->text(QAccessible::Description), u"灭"_s);
        QVERIFY(fx.open(0));
        fx.click("cmdStart");
        fx.car1.write(bytes({0x41}));
        QTRY_COMPARE(face(reading)->text(QAccessible::Name), u"当前小车速度值 65R/Min"_s);
        QCOMPARE(face(reading)->valueInterface()->currentValue(), QVariant(65));
        QTRY_COMPARE(face(lamp)->text(QAccessible::Description), u"亮"_s);
        QCOMPARE(Heard::count(reading, QAccessible::ValueChanged), 1);
        QTRY_COMPARE(Heard::announced(announcer).mid(0, 3),
                     QStringList({u"单击【开始通信】按钮，执行通信"_s, u"智能车连接成功"_s,
                                  u"报警灯亮"_s}));
        QVERIFY(face(fx.get<QWidget>("Trend"))
                    ->text(QAccessible::Description)
                    .startsWith(u"最新读数 65R/Min，报警速度 40。"_s));

        fx.car1.vanish();
        QTRY_COMPARE(face(reading)->text(QAccessible::Name), u"当前小车速度值 65R/Min（已过时）"_s);
    }

    // However fast a part changes, it raises an event at most once per gap (the first at once),
    // and the last text is the one it keeps.
    void floodIsHeardAFewTimesASecond()
    {
        const Heard heard;
        QWidget window;
        Spoken spoken(&window);
        QLabel part(&window);
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 100; ++i) {
            spoken.set(&part, Spoken::Field::Name, QString::number(i));
            QTest::qWait(10);
        }
        QTRY_COMPARE(part.accessibleName(), u"99"_s);
        const qint64 gaps = clock.elapsed() / Spoken::kGap.count();
        QVERIFY(Heard::count(&part, QAccessible::NameChanged) >= 2);
        QVERIFY2(Heard::count(&part, QAccessible::NameChanged) <= gaps + 1,
                 qPrintable(
                     u"%1 events in %2 gaps"_s.arg(Heard::count(&part, QAccessible::NameChanged))
                         .arg(gaps)));
    }
};

} // namespace smartcar

QTEST_MAIN(smartcar::TestAccessible)
#include "test_accessible.moc"
