// The three reference windows reached from the main window's menu: one of each at most,
// independent of each other and of the main window, rebuilt the same on every showing.
#include "support/consolefixture.h"

#include <QApplication>
#include <QGroupBox>
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const char* const kActions[] = {"user", "tech", "commlist"};

// The reference window the menu's action `which` shows, or null unless there is exactly one.
QWidget* theWindow(int which)
{
    const QString name = QStringLiteral("Form%1").arg(which + 2);
    QList<QWidget*> found = QApplication::topLevelWidgets();
    found.removeIf([&](const QWidget* w) { return w->objectName() != name; });
    return found.size() == 1 ? found.first() : nullptr;
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// What the operator reads: the caption and every label's text, with "!" after a control that
// does not fit its place, a label that does not wrap within its height, a button too narrow
// for its text, or a label lying over a sibling label.
QStringList reading(const QWidget* window)
{
    QStringList out{window->windowTitle()};
    for (const QWidget* c : window->findChildren<QWidget*>()) {
        const auto* l = qobject_cast<const QLabel*>(c);
        const auto* b = qobject_cast<const QPushButton*>(c);
        bool fits = c->parentWidget()->rect().contains(c->geometry())
            && (!l || (l->wordWrap() && l->heightForWidth(l->width()) <= l->height()))
            && (!b || b->fontMetrics().horizontalAdvance(b->text()) < b->width());
        for (const QLabel* o : c->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
            fits = fits && (!l || o == l || !l->geometry().intersects(o->geometry()));
        out << c->objectName() + (l ? u' ' + l->text() : QString()) + (fits ? "" : "!");
    }
    return out;
}

} // namespace

class TestReference : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void oneWindowEachCreatedAfresh_data();
    void oneWindowEachCreatedAfresh();
    void programEndsWithTheLastWindow_data();
    void programEndsWithTheLastWindow();
};

void TestReference::cleanup()
{
    for (int which = 0; which < 3; ++which)
        delete theWindow(which);
    flushDeletes();
}

void TestReference::oneWindowEachCreatedAfresh_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<bool>("byButton"); // otherwise by the window's close box
    QTest::newRow("usageNotesByButton") << 0 << true;
    QTest::newRow("techSupportByCloseBox") << 1 << false;
    QTest::newRow("byteTableShowsEachCharactersByte") << 2 << false;
}

void TestReference::oneWindowEachCreatedAfresh()
{
    QFETCH(int, which);
    QFETCH(bool, byButton);
    ConsoleFixture fx;
    QVERIFY(!theWindow(which)); // nothing opens at start-up
    fx.action(kActions[which])->trigger();
    QPointer<QWidget> first = theWindow(which);
    // No owner, not modal: it must outlive the main window and leave it usable.
    QVERIFY(first && first->isVisible() && !first->parentWidget()
            && !QApplication::activeModalWidget());
    const QStringList shown = reading(first);
    QVERIFY2(!shown.join(u'\n').contains(u'!'), qPrintable(shown.join(u'\n')));
    for (QChar c : which == 2 ? u"0123456789AZaz"_s : QString()) {
        // On the character's line, right of it and in its frame, the byte the car gets for it.
        const QString code = QString::number(c.unicode());
        auto* label = first->findChild<QLabel*>(u"char"_s + code);
        auto* value = first->findChild<QLabel*>(u"byte"_s + code);
        auto* frame = qobject_cast<QGroupBox*>(label ? label->parentWidget() : nullptr);
        QVERIFY(frame && value && value->parentWidget() == frame && value->y() == label->y()
                && value->x() > label->geometry().right());
        QCOMPARE(QStringList({frame->title(), label->text(), value->text()}),
                 QStringList({c.isDigit() ? u"数字区"_s : u"字母区"_s, c, code}));
    }

    // Chosen again while the others lie over it: the same window comes to the front.
    QList<QPointer<QWidget>> others;
    for (int i = (which + 1) % 3; i != which; i = (i + 1) % 3)
        fx.action(kActions[i])->trigger(), others << theWindow(i);
    QVERIFY(QApplication::activeWindow() != first);
    fx.action(kActions[which])->trigger();
    flushDeletes();
    QCOMPARE(theWindow(which), first.data());
    QTRY_COMPARE(QApplication::activeWindow(), first.data());

    // Closed, it is released, not merely hidden; the other windows stay.
    byButton ? first->findChild<QPushButton*>(u"Command1"_s)->click() : void(first->close());
    flushDeletes();
    QVERIFY(!first && fx.alive() && fx.form()->isVisible());
    QVERIFY(std::ranges::all_of(others, [](const auto& w) { return w && w->isVisible(); }));

    // Chosen again, it is built anew; the second time the old one still waits to be deleted.
    for (int pass = 0; pass < 2; ++pass) {
        fx.action(kActions[which])->trigger();
        flushDeletes();
        QPointer<QWidget> again = theWindow(which);
        QVERIFY(again && again->isVisible());
        QCOMPARE(reading(again), shown);
        again->close();
    }
    QVERIFY(fx.boxes.messages().isEmpty());
}

void TestReference::programEndsWithTheLastWindow_data()
{
    QTest::addColumn<bool>("byEndButton"); // with all three open; otherwise Exit with one open
    QTest::newRow("referenceWindowOutlivesExit") << false;
    QTest::newRow("endButtonEndsWithAllOpen") << true;
}

void TestReference::programEndsWithTheLastWindow()
{
    QFETCH(bool, byEndButton);
    ConsoleFixture fx;
    QObject scope; // takes pending steps with it should exec return before they ran
    QList<QPointer<QWidget>> windows;
    bool runningAfterExit = false;
    QTimer::singleShot(0, [&] {
        for (int i = byEndButton ? 0 : 2; i < 3; ++i)
            fx.action(kActions[i])->trigger(), windows << theWindow(i);
        if (byEndButton)
            return fx.click("cmdEnd");
        fx.action("Exit")->trigger();
        QTimer::singleShot(50, &scope, [&] { // the main window's deferred deletion has run
            runningAfterExit = !fx.alive() && windows[0] && windows[0]->isVisible();
            if (windows[0])
                windows[0]->close();
        });
    });
    // Returns once no window is left: it would hang here if closing the last window did not
    // end the program, and return before the close step if Exit had ended it.
    QCOMPARE(QApplication::exec(), 0);
    QCOMPARE(windows.size(), byEndButton ? 3 : 1);
    flushDeletes();
    for (const QPointer<QWidget>& w : windows)
        QVERIFY(byEndButton ? w && !w->isVisible() : !w);
    QVERIFY(byEndButton || runningAfterExit);
}

QTEST_MAIN(TestReference)
#include "test_reference.moc"
