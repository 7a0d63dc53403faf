// The three reference windows reached from the main window's menu: one of each at most,
// independent of each other and of the main window, rebuilt the same on every showing.
#include "support/consolefixture.h"

#include <QApplication>
#include <QGroupBox>
#include <QTimer>

namespace {

QList<QWidget*> windowsNamed(const QString& name)
{
    QList<QWidget*> found = QApplication::topLevelWidgets();
    found.removeIf([&](const QWidget* w) { return w->objectName() != name; });
    return found;
}

// The window of that name, or null unless there is exactly one.
QWidget* theWindow(const QString& name)
{
    const QList<QWidget*> found = windowsNamed(name);
    return found.size() == 1 ? found.first() : nullptr;
}

void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// The window's caption and every label's text, which is what the operator reads in it.
QStringList snapshot(const QWidget* window)
{
    QStringList out{window->windowTitle()};
    for (const QLabel* l : window->findChildren<QLabel*>())
        out << l->objectName() + QLatin1Char(' ') + l->text();
    return out;
}

// The first control whose text does not fit its place, or empty when all fit.
QString misfit(const QWidget* window)
{
    for (const QWidget* c : window->findChildren<QWidget*>()) {
        auto* l = qobject_cast<const QLabel*>(c);
        auto* b = qobject_cast<const QPushButton*>(c);
        if (!c->parentWidget()->rect().contains(c->geometry())
            || (l && (!l->wordWrap() || l->heightForWidth(l->width()) > l->height()))
            || (b && b->fontMetrics().horizontalAdvance(b->text()) >= b->width()))
            return c->objectName();
        // Labels side by side never cover each other, however far they grew.
        const auto siblings = c->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
        for (const QLabel* other : siblings) {
            if (l && other != l && l->geometry().intersects(other->geometry()))
                return c->objectName() + QLatin1Char('/') + other->objectName();
        }
    }
    return {};
}

enum class Way { Button, CloseBox };

void closeWindow(QWidget* window, Way way)
{
    if (way == Way::CloseBox)
        window->close();
    else if (auto* button = window->findChild<QPushButton*>(QStringLiteral("Command1")))
        button->click();
}

const char* const kActions[] = {"user", "tech", "commlist"};
const char* const kWindows[] = {"Form2", "Form3", "Form4"};

} // namespace

Q_DECLARE_METATYPE(Way)

class TestReference : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void oneWindowEachCreatedAfresh_data();
    void oneWindowEachCreatedAfresh();
    void byteTableShowsEachCharactersByte();
    void programEndsWithTheLastWindow_data();
    void programEndsWithTheLastWindow();
};

void TestReference::cleanup()
{
    for (const char* name : kWindows)
        qDeleteAll(windowsNamed(QLatin1String(name)));
    flushDeletes();
}

void TestReference::oneWindowEachCreatedAfresh_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<Way>("way");
    QTest::newRow("usageNotesByButton") << 0 << Way::Button;
    QTest::newRow("usageNotesByCloseBox") << 0 << Way::CloseBox;
    QTest::newRow("techSupportByButton") << 1 << Way::Button;
    QTest::newRow("techSupportByCloseBox") << 1 << Way::CloseBox;
    QTest::newRow("byteTableByCloseBox") << 2 << Way::CloseBox;
}

void TestReference::oneWindowEachCreatedAfresh()
{
    QFETCH(int, which);
    QFETCH(Way, way);
    const char* chosen = kActions[which];
    const QString window = QLatin1String(kWindows[which]);
    ConsoleFixture fx;
    QVERIFY(windowsNamed(window).isEmpty()); // nothing opens at start-up
    fx.action(chosen)->trigger();
    QPointer<QWidget> first = theWindow(window);
    QVERIFY(first && first->isVisible());
    QVERIFY(!first->parentWidget()); // no owner: it must outlive the main window
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(misfit(first), QString());
    const QStringList shown = snapshot(first);

    // Chosen again while the others lie over it: the same window comes to the front.
    for (QLabel* l : first->findChildren<QLabel*>())
        l->setText(QStringLiteral("changed"));
    QList<QPointer<QWidget>> others;
    for (int i = 0; i < 3; ++i) {
        if (i != which) {
            fx.action(kActions[i])->trigger();
            others << theWindow(QLatin1String(kWindows[i]));
        }
    }
    QVERIFY(QApplication::activeWindow() != first);
    fx.action(chosen)->trigger();
    flushDeletes();
    QCOMPARE(theWindow(window), first.data());
    QTRY_COMPARE(QApplication::activeWindow(), first.data());

    // Closed, it is released, not merely hidden; the other windows stay.
    closeWindow(first, way);
    flushDeletes();
    QVERIFY(!first);
    for (const QPointer<QWidget>& w : others)
        QVERIFY(w && w->isVisible());
    QVERIFY(fx.alive() && fx.form()->isVisible());

    // Chosen again, it is built anew with nothing of the old one carried over; the second
    // time it was closed and chosen in one pass of the event loop (both queued behind a
    // blocking turn), so the old one still waits to be deleted.
    for (int pass = 0; pass < 2; ++pass) {
        fx.action(chosen)->trigger();
        flushDeletes();
        QPointer<QWidget> again = theWindow(window);
        QVERIFY(again && again->isVisible());
        QCOMPARE(snapshot(again), shown);
        again->close();
    }
    QVERIFY(fx.boxes.messages().isEmpty());
}

void TestReference::byteTableShowsEachCharactersByte()
{
    ConsoleFixture fx;
    fx.action("commlist")->trigger();
    QWidget* table = theWindow(QStringLiteral("Form4"));
    QVERIFY(table);
    QCOMPARE(table->findChildren<QLabel*>(QRegularExpression(QStringLiteral("^char"))).size(), 14);
    for (QChar c : QStringLiteral("0123456789AZaz")) {
        // On the character's line, right of it, the byte the car receives for it.
        const QString code = QString::number(c.unicode());
        auto* label = table->findChild<QLabel*>(QLatin1String("char") + code);
        auto* value = table->findChild<QLabel*>(QLatin1String("byte") + code);
        QVERIFY(label && value);
        QCOMPARE(label->text() + u' ' + value->text(), QString(c) + u' ' + code);
        auto* frame = qobject_cast<QGroupBox*>(label->parentWidget());
        QVERIFY(frame && value->parentWidget() == frame);
        QCOMPARE(frame->title(), c.isDigit() ? QStringLiteral("数字区") : QStringLiteral("字母区"));
        QVERIFY(value->y() == label->y() && value->x() > label->geometry().right());
    }
}

void TestReference::programEndsWithTheLastWindow_data()
{
    QTest::addColumn<int>("which"); // -1: all three open when the end button is pressed
    QTest::newRow("usageNotesOutlivesExit") << 0;
    QTest::newRow("techSupportOutlivesExit") << 1;
    QTest::newRow("byteTableOutlivesExit") << 2;
    QTest::newRow("endButtonEndsWithAllOpen") << -1;
}

void TestReference::programEndsWithTheLastWindow()
{
    QFETCH(int, which);
    ConsoleFixture fx;
    QObject scope; // takes pending steps with it should exec return before they ran
    QList<QPointer<QWidget>> windows;
    bool runningAfterExit = false;
    QTimer::singleShot(0, [&] {
        for (int i = 0; i < 3; ++i) {
            if (which < 0 || i == which) {
                fx.action(kActions[i])->trigger();
                windows << theWindow(QLatin1String(kWindows[i]));
            }
        }
        if (which < 0)
            return fx.click("cmdEnd");
        fx.action("Exit")->trigger();
        // By now the main window's deferred deletion has run.
        QTimer::singleShot(50, &scope, [&] {
            runningAfterExit = !fx.alive() && windows[0] && windows[0]->isVisible();
            if (windows[0])
                windows[0]->close();
        });
    });
    // Returns once no window is left: it would hang here if closing the last window did not
    // end the program, and return before the close step if Exit had ended it.
    QCOMPARE(QApplication::exec(), 0);
    QCOMPARE(windows.size(), which < 0 ? 3 : 1);
    if (which < 0) {
        for (const QPointer<QWidget>& w : windows)
            QVERIFY(w && !w->isVisible());
        return;
    }
    QVERIFY(runningAfterExit);
    flushDeletes();
    QVERIFY(!windows[0]);
}

QTEST_MAIN(TestReference)
#include "test_reference.moc"
