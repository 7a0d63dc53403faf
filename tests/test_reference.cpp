// The three reference windows reached from the main window's menu: one of each at most,
// independent of each other and of the main window, rebuilt the same on every showing.
#include "support/consolefixture.h"

#include <QApplication>
#include <QGroupBox>
#include <QRegularExpression>
#include <QTimer>

namespace {

QList<QWidget*> windowsNamed(const QString& name)
{
    QList<QWidget*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name)
            found << w;
    }
    return found;
}

// The window of that name, or null unless there is exactly one.
QWidget* theWindow(const QString& name)
{
    const QList<QWidget*> found = windowsNamed(name);
    return found.size() == 1 ? found.first() : nullptr;
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// What the operator can see of a window, control by control.
QStringList snapshot(const QWidget* window)
{
    QStringList out{window->windowTitle(),
                    QStringLiteral("%1x%2").arg(window->width()).arg(window->height())};
    for (const QWidget* c : window->findChildren<QWidget*>()) {
        QString text;
        if (auto* l = qobject_cast<const QLabel*>(c))
            text = l->text() + (l->wordWrap() ? QStringLiteral(" (wraps)") : QString());
        else if (auto* b = qobject_cast<const QAbstractButton*>(c))
            text = b->text();
        else if (auto* g = qobject_cast<const QGroupBox*>(c))
            text = g->title();
        const QRect r = c->geometry();
        out << QString::asprintf("%s %s/%s %d,%d %dx%d %s: ", c->metaObject()->className(),
                                 qPrintable(c->parentWidget()->objectName()),
                                 qPrintable(c->objectName()), r.x(), r.y(), r.width(), r.height(),
                                 c->isVisible() ? "shown" : "hidden")
                + text;
    }
    return out;
}

enum class Way { Button, CloseBox };

void closeWindow(QWidget* window, Way way)
{
    if (way == Way::Button) {
        auto* button = window->findChild<QPushButton*>(QStringLiteral("Command1"));
        QVERIFY(button);
        button->click();
    } else {
        QVERIFY(window->close());
    }
}

struct Reference
{
    const char* action;
    const char* window;
};
const Reference kAll[] = {{"user", "Form2"}, {"tech", "Form3"}, {"commlist", "Form4"}};

} // namespace

Q_DECLARE_METATYPE(Way)

class TestReference : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();

    void oneWindowPerChoice_data();
    void oneWindowPerChoice();
    void allOpenEachClosesAlone_data();
    void allOpenEachClosesAlone();
    void reopenShowsTheSameContent_data();
    void reopenShowsTheSameContent();
    void byteTableEntries();
    void exitLeavesTheWindowRunning_data();
    void exitLeavesTheWindowRunning();
    void endButtonEndsWithWindowsOpen();

private:
    static void addWindowRows();
};

void TestReference::cleanup()
{
    for (const Reference& r : kAll)
        qDeleteAll(windowsNamed(QString::fromLatin1(r.window)));
    flushDeletes();
}

void TestReference::addWindowRows()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("caption");
    QTest::newRow("usageNotes") << "user" << "Form2" << QStringLiteral("Form2");
    QTest::newRow("techSupport") << "tech" << "Form3" << QStringLiteral("技术支持");
    QTest::newRow("byteTable") << "commlist" << "Form4" << QStringLiteral("串口数据对照表");
}

void TestReference::oneWindowPerChoice_data()
{
    addWindowRows();
}

void TestReference::oneWindowPerChoice()
{
    QFETCH(QString, action);
    QFETCH(QString, window);
    QFETCH(QString, caption);
    ConsoleFixture fx;
    QVERIFY(windowsNamed(window).isEmpty()); // nothing opens at start-up

    fx.action(action.toLatin1())->trigger();
    QPointer<QWidget> first = theWindow(window);
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QCOMPARE(first->windowTitle(), caption);
    QVERIFY(!first->parentWidget()); // no owner: it must outlive the main window
    QVERIFY(!QApplication::activeModalWidget());
    // No text is cut off: every label is tall enough for its wrapped lines.
    for (const QLabel* l : first->findChildren<QLabel*>())
        QVERIFY2(l->wordWrap() && l->heightForWidth(l->width()) <= l->height(),
                 qPrintable(l->objectName()));

    // Chosen again while other windows lie over it: the same window comes to the front.
    for (const Reference& r : kAll) {
        if (action != QLatin1String(r.action))
            fx.action(r.action)->trigger();
    }
    QVERIFY(QApplication::activeWindow() != first);
    fx.action(action.toLatin1())->trigger();
    flushDeletes();
    QCOMPARE(windowsNamed(window).size(), 1);
    QCOMPARE(theWindow(window), first.data());
    QTRY_COMPARE(QApplication::activeWindow(), first.data());
    QVERIFY(fx.form()->isVisible());
    QVERIFY(fx.boxes.messages().isEmpty());
}

void TestReference::allOpenEachClosesAlone_data()
{
    QTest::addColumn<int>("closing");
    QTest::addColumn<Way>("way");
    QTest::newRow("usageNotesByButton") << 0 << Way::Button;
    QTest::newRow("techSupportByCloseBox") << 1 << Way::CloseBox;
    QTest::newRow("byteTableByCloseBox") << 2 << Way::CloseBox;
}

void TestReference::allOpenEachClosesAlone()
{
    QFETCH(int, closing);
    QFETCH(Way, way);
    ConsoleFixture fx;
    QList<QPointer<QWidget>> windows;
    for (const Reference& r : kAll) {
        fx.action(r.action)->trigger();
        windows << theWindow(QString::fromLatin1(r.window));
    }
    for (const QPointer<QWidget>& w : windows) {
        QVERIFY(w);
        QVERIFY(w->isVisible());
    }

    closeWindow(windows[closing], way);
    flushDeletes();
    QVERIFY(!windows[closing]); // released, not merely hidden
    for (int i = 0; i < windows.size(); ++i) {
        if (i == closing)
            continue;
        QVERIFY(windows[i]);
        QVERIFY(windows[i]->isVisible());
    }
    QVERIFY(fx.alive());
    QVERIFY(fx.form()->isVisible());
}

void TestReference::reopenShowsTheSameContent_data()
{
    addWindowRows();
}

void TestReference::reopenShowsTheSameContent()
{
    QFETCH(QString, action);
    QFETCH(QString, window);
    ConsoleFixture fx;
    fx.action(action.toLatin1())->trigger();
    QPointer<QWidget> first = theWindow(window);
    QVERIFY(first);
    const QStringList before = snapshot(first);

    // Whatever happened to the old window must not carry over to the new one.
    for (QLabel* l : first->findChildren<QLabel*>())
        l->setText(QStringLiteral("changed"));
    first->move(first->pos() + QPoint(40, 40));
    first->close();
    flushDeletes();
    QVERIFY(!first);
    fx.action(action.toLatin1())->trigger();
    QPointer<QWidget> second = theWindow(window);
    QVERIFY(second);
    QCOMPARE(snapshot(second), before);

    // Closed and chosen again in one pass of the event loop, as when both queued up behind a
    // blocking turn: the old window is about to be deleted, the new one must stay.
    second->close();
    fx.action(action.toLatin1())->trigger();
    flushDeletes();
    QWidget* third = theWindow(window);
    QVERIFY(third);
    QVERIFY(third->isVisible());
    QCOMPARE(snapshot(third), before);
}

void TestReference::byteTableEntries()
{
    ConsoleFixture fx;
    fx.action("commlist")->trigger();
    QWidget* table = theWindow(QStringLiteral("Form4"));
    QVERIFY(table);
    QVERIFY(table->findChildren<QPushButton*>().isEmpty()); // closed by its close box only
    QCOMPARE(table->findChildren<QLabel*>(QRegularExpression(QStringLiteral("^char"))).size(), 14);

    // The value the operator reads off must be the byte the car receives for the character,
    // on the same line, in the right area.
    for (char c : QByteArrayLiteral("0123456789AZaz")) {
        const QString code = QString::number(int(c));
        auto* label = table->findChild<QLabel*>(QLatin1String("char") + code);
        auto* value = table->findChild<QLabel*>(QLatin1String("byte") + code);
        QVERIFY2(label && value, qPrintable(code));
        QCOMPARE(label->text(), QString(QLatin1Char(c)));
        QCOMPARE(value->text(), code);
        auto* frame = qobject_cast<QGroupBox*>(label->parentWidget());
        QVERIFY(frame && value->parentWidget() == frame);
        QCOMPARE(frame->title(), c >= '0' && c <= '9' ? QStringLiteral("数字区") : QStringLiteral("字母区"));
        QCOMPARE(value->y(), label->y());
        QVERIFY(value->x() > label->geometry().right());
    }
}

void TestReference::exitLeavesTheWindowRunning_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<Way>("way");
    QTest::newRow("usageNotesByButton") << 0 << Way::Button;
    QTest::newRow("byteTableByCloseBox") << 2 << Way::CloseBox;
}

void TestReference::exitLeavesTheWindowRunning()
{
    QFETCH(int, which);
    QFETCH(Way, way);
    ConsoleFixture fx;
    QObject scope; // takes pending steps with it should exec return before they ran
    QPointer<QWidget> reference;
    bool runningAfterExit = false;
    bool closedLast = false;

    QTimer::singleShot(0, [&] {
        fx.action(kAll[which].action)->trigger();
        reference = theWindow(QString::fromLatin1(kAll[which].window));
        fx.action("Exit")->trigger();
        // By now the main window's deferred deletion has run.
        QTimer::singleShot(50, &scope, [&] {
            runningAfterExit = !fx.alive() && reference && reference->isVisible();
            closedLast = true;
            if (reference)
                closeWindow(reference, way);
        });
    });
    // Returns once no window is left: it would hang here if closing the last window did not
    // end the program, and return before the close step if Exit had ended it.
    const int code = QApplication::exec();
    QCOMPARE(code, 0);
    QVERIFY(closedLast);
    QVERIFY(runningAfterExit);
    flushDeletes();
    QVERIFY(!reference);
}

void TestReference::endButtonEndsWithWindowsOpen()
{
    ConsoleFixture fx;
    QList<QPointer<QWidget>> windows;
    QTimer::singleShot(0, [&] {
        for (const Reference& r : kAll) {
            fx.action(r.action)->trigger();
            windows << theWindow(QString::fromLatin1(r.window));
        }
        fx.click("cmdEnd");
    });
    QCOMPARE(QApplication::exec(), 0);
    QCOMPARE(windows.size(), 3);
    for (const QPointer<QWidget>& w : windows) {
        QVERIFY(w);
        QVERIFY(!w->isVisible());
    }
}

QTEST_MAIN(TestReference)
#include "test_reference.moc"
