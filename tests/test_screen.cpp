// The main window on screens smaller than itself: it fits, every control can be reached, and
// nothing a wheel notch touches changes the link. The screens are in tests/data/screens.json.
#include "app/qttranslations.h"
#include "support/consolefixture.h"

#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QtGui/private/qhighdpiscaling_p.h>
#include <qpa/qwindowsysteminterface.h>

namespace smartcar {

using namespace Qt::StringLiterals;

namespace {
QScreen* screenNamed(const QString& name)
{
    for (QScreen* s : QGuiApplication::screens())
        if (s->name() == name)
            return s;
    qFatal("no screen %s: is the test run with its screen configuration?", qPrintable(name));
}

// Whether `w` is shown whole inside the scroll area's visible part.
bool inView(const QScrollArea* area, const QWidget* w)
{
    const QRect shown(w->mapTo(area->viewport(), QPoint()), w->size());
    return area->viewport()->rect().contains(shown);
}

// The console, its port open, moved to the laptop, whose screen is narrower than the window.
bool onTheLaptop(ConsoleFixture& fx)
{
    QScreen* laptop = screenNamed(u"laptop"_s);
    fx.form()->setScreen(laptop);
    return QTest::qWaitForWindowExposed(fx.form())
        && QTest::qWaitFor([&] { return fx.form()->screen() == laptop; }) && fx.open();
}
} // namespace

class TestScreen : public QObject
{
    Q_OBJECT
private slots:
    void windowFitsTheScreenItIsOn_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<bool>("whole"); // the screen holds the window as designed
        QTest::newRow("largeScreenKeepsTheFixedDesignedWindow") << u"desktop"_s << true;
        QTest::newRow("narrowLaptopLostTheRightColumn") << u"laptop"_s << false;
        QTest::newRow("scaledLaptopLostTheStatusBarAndTheEndButton")
            << u"laptopScaledWithTaskBar"_s << false;
    }

    void windowFitsTheScreenItIsOn()
    {
        QFETCH(QString, screen);
        QFETCH(bool, whole);
        ConsoleFixture fx;
        auto* area = fx.get<QScrollArea>("clientArea");
        Form1* form = fx.form();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        const QSize designed = form->size(); // it opened on the desktop screen

        // Moved to the screen, the window follows it; moved back, it is as designed again.
        for (QScreen* on : {screenNamed(screen), screenNamed(u"desktop"_s), screenNamed(screen)}) {
            form->setScreen(on);
            QTRY_COMPARE(form->screen(), on);
            const bool fixed = on->name() == u"desktop" || whole;
            const QSize framed = form->frameGeometry().size();
            QCOMPARE(framed.boundedTo(on->availableGeometry().size()), framed);
            // Resizable up to its design and no further; as designed and fixed where it fits.
            QCOMPARE(form->maximumSize(), designed);
            QCOMPARE(form->minimumSize() == designed, fixed);
        }
        QTRY_COMPARE(area->horizontalScrollBar()->isVisible(), !whole);
        QCOMPARE(area->viewport()->size() == area->widget()->size(), whole);
        QVERIFY(form->rect().contains(fx.get<QWidget>("StatusBar1")->geometry()));
        QCOMPARE(inView(area, fx.button("cmdEnd")), whole);
    }

    // A wheel notch over the port box, as the system delivers it, scrolls the window and leaves
    // the box and the open port alone.
    void wheelOverThePortBoxScrollsTheWindow()
    {
        ConsoleFixture fx;
        QVERIFY(onTheLaptop(fx));
        auto* area = fx.get<QScrollArea>("clientArea");
        QComboBox* box = fx.ports();
        area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->maximum());
        const QPoint at = box->mapTo(fx.form(), QPoint(box->width() / 2, 4));
        QCOMPARE(fx.form()->childAt(at), box->lineEdit());
        QWindow* window = fx.form()->windowHandle();
        QWindowSystemInterface::handleWheelEvent(
            window, QHighDpi::toNativeLocalPosition(QPointF(at), window),
            QHighDpi::toNativeGlobalPosition(QPointF(fx.form()->mapToGlobal(at)), window), QPoint(),
            QPoint(0, -120));
        QWindowSystemInterface::flushWindowSystemEvents();
        QVERIFY(box->currentIndex() == 0);
        QVERIFY(fx.portOpen());
        QVERIFY(area->verticalScrollBar()->value() > 0);
    }

    // cmdEnd is the last control in the tab order; Esc still brakes from there.
    void tabScrollsTheLastControlIntoView()
    {
        ConsoleFixture fx;
        QVERIFY(onTheLaptop(fx));
        auto* area = fx.get<QScrollArea>("clientArea");
        QPushButton* end = fx.button("cmdEnd");
        fx.form()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(fx.form()));
        fx.button("cmdStart")->setFocus();
        QTest::keyClick(fx.button("cmdStart"), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), end);
        QVERIFY(inView(area, end));
        QTest::keyClick(end, Qt::Key_Escape);
        fx.click("Stop"); // one brake each, nothing more
        QCOMPARE(fx.car1.read(3), bytes({0x87, 0x87}));
    }

    void qtsOwnWordsAreChineseInAnyLanguage()
    {
        // The test runs under LANG=C; the translators go with `owner`.
        QVERIFY(!QLocale::system().name().startsWith(u"zh"));
        QObject owner;
        QVERIFY(installQtTranslations(&owner));
        showMessage(nullptr, QMessageBox::Critical, systemMessageTitle(), u"x"_s);
        QPointer<QMessageBox> box = qobject_cast<QMessageBox*>(shownMessageBox());
        QVERIFY(box);
        QCOMPARE(box->button(QMessageBox::Ok)->text(), u"确定"_s); // qtbase: text boxes' menus too
        box->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

} // namespace smartcar

QTEST_MAIN(smartcar::TestScreen)
#include "test_screen.moc"
