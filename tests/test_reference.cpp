// The reference windows from the main window's menu: one of each at most, on their own.
#include "console/helpdocument.h"
#include "support/consolefixture.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTimer>

namespace smartcar {

using namespace Qt::StringLiterals;

static const char* const kActions[] = {"user", "tech", "commlist"};

// The reference window the menu's action `which` shows, or null unless there is exactly one.
static QWidget* theWindow(int which)
{
    QList<QWidget*> found = QApplication::topLevelWidgets();
    found.removeIf([&](const QWidget* w) { return w->objectName() != u"Form%1"_s.arg(which + 2); });
    return found.size() == 1 ? found.first() : nullptr;
}

// The controls outside their place: a control outside its parent, a label not wrapped within
// its height or over a sibling label, a button too narrow for its text.
static QStringList misplaced(const QWidget* window)
{
    QStringList out;
    for (const QWidget* c : window->findChildren<QWidget*>()) {
        const auto* l = qobject_cast<const QLabel*>(c);
        const auto* b = qobject_cast<const QPushButton*>(c);
        bool fits = c->parentWidget()->rect().contains(c->geometry())
            && (!l || (l->wordWrap() && l->heightForWidth(l->width()) <= l->height()))
            && (!b || b->fontMetrics().horizontalAdvance(b->text()) < b->width());
        for (const QLabel* o : c->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
            fits = fits && (!l || o == l || !l->geometry().intersects(o->geometry()));
        if (!fits)
            out << c->objectName();
    }
    return out;
}

class TestReference : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        for (int which = 0; which < 3; ++which)
            delete theWindow(which);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void oneWindowEachCreatedAfresh_data()
    {
        QTest::addColumn<int>("which");
        QTest::newRow("usageNotesByButton") << 0;
        QTest::newRow("techSupportByCloseBox") << 1;
        QTest::newRow("byteTableByCloseBox") << 2;
    }
    void oneWindowEachCreatedAfresh()
    {
        QFETCH(int, which);
        ConsoleFixture fx;
        QVERIFY(fx.open(0));
        const auto show = [&](int i) {
            fx.action(kActions[i])->trigger();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return QPointer<QWidget>(theWindow(i));
        };
        QPointer<QWidget> first = show(which);
        // No owner, not modal: it must outlive the main window and leave it usable.
        QVERIFY(first);
        QVERIFY(first->isVisible());
        QVERIFY(!first->parentWidget());
        QVERIFY(!qApp->activeModalWidget());
        QVERIFY2(misplaced(first).isEmpty(), qPrintable(misplaced(first).join(u' ')));
        QTest::keyClick(first, Qt::Key_Escape); // brakes here too, and leaves the window open
        QVERIFY(fx.car1.read(1) == bytes({0x87}));
        QVERIFY(first);
        QVERIFY(first->isVisible());
        // The byte table: the label charNN shows the character whose byte is NN.
        for (const QLabel* c : first->findChildren<QLabel*>(QRegularExpression(u"^char"_s)))
            QCOMPARE(c->text(), QString(QChar(c->objectName().mid(4).toInt())));
        // Chosen again while the others lie over it: the same window comes to the front.
        const QList<QPointer<QWidget>> others{show((which + 1) % 3), show((which + 2) % 3)};
        QVERIFY(qApp->activeWindow() != first);
        QCOMPARE(show(which), first);
        QTRY_COMPARE(qApp->activeWindow(), first.data());
        // Closed, it is released, not merely hidden; the others stay.
        which == 0 ? first->findChild<QPushButton*>(u"Command1"_s)->click() : void(first->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!first);
        QVERIFY(fx.alive());
        QVERIFY(fx.form()->isVisible());
        QVERIFY(others[0]);
        QVERIFY(others[0]->isVisible());
        QVERIFY(others[1]);
        QVERIFY(others[1]->isVisible());
        // Chosen again, it is built anew; the second time the old one still waited to be deleted
        // and must not be shown only to vanish.
        for (int pass = 0; pass < 2; ++pass) {
            const QPointer<QWidget> again = show(which);
            QVERIFY(again);
            QVERIFY(again->isVisible());
            again->close();
        }
    }

    // The technical-support window names help that is there: run from the build tree, the
    // source tree's README.
    void helpNamedIsThere()
    {
        ConsoleFixture fx;
        fx.action("tech")->trigger();
        const QString help = helpDocumentPath();
        QVERIFY2(QFileInfo::exists(help), qPrintable(help));
        QVERIFY(theWindow(1)->findChild<QLabel*>(u"Label2"_s)->text().endsWith(help));
    }

    void programEndsWithTheLastWindow()
    {
        ConsoleFixture fx;
        QObject scope; // takes pending steps with it should exec return before they ran
        QPointer<QWidget> table;
        bool runningAfterExit = false;
        QTimer::singleShot(0, [&] {
            fx.action(kActions[2])->trigger();
            table = theWindow(2);
            // Looked at once the main window's deferred deletion has run.
            QObject::connect(fx.form(), &QObject::destroyed, &scope, [&] {
                QTimer::singleShot(0, &scope, [&] {
                    runningAfterExit = !fx.alive() && table && table->isVisible();
                    if (table)
                        table->close();
                });
            });
            fx.action("Exit")->trigger();
        });
        // Returns once no window is left: it would hang if closing the last window did not end
        // the program, and return before the close step if Exit had ended it.
        QCOMPARE(QApplication::exec(), 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(runningAfterExit);
        QVERIFY(!table);
    }
};

} // namespace smartcar

QTEST_MAIN(smartcar::TestReference)
#include "test_reference.moc"
