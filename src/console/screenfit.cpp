#include "console/screenfit.h"

#include <QEvent>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QWidget>
#include <QWindow>

namespace smartcar {

void ScreenFit::install(QWidget* window, QScrollArea* area)
{
    window->installEventFilter(new ScreenFit(window, area));
}

ScreenFit::ScreenFit(QWidget* window, QScrollArea* area)
    : QObject(window)
    , m_window(window)
    , m_area(area)
{
    setObjectName(QStringLiteral("ScreenFit"));
    // Sized for the screen it will most likely open on before its native window exists, so that
    // this is the size the native window is made with; showing it checks again.
    measureAround();
    m_window->resize(designSize());
    follow(m_window->screen());
    fit();
}

bool ScreenFit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window)
        return false;
    QWindow* handle = m_window->windowHandle();
    if (event->type() == QEvent::Show && !m_shown && handle) {
        // The native window exists by now, on the screen it was placed on, but is not on
        // screen yet: a size set here is the size it first appears with.
        m_shown = true;
        connect(handle, &QWindow::screenChanged, this, [this](QScreen* screen) {
            follow(screen);
            fit();
        });
        follow(handle->screen());
        measureAround();
        m_frameKnown = !handle->frameMargins().isNull();
        fit();
    } else if (event->type() == QEvent::Move && m_shown && !m_frameKnown && handle
               && !handle->frameMargins().isNull()) {
        // An X11 window manager puts its frame around the window only after it appeared, and
        // the frame's title bar takes room too.
        m_frameKnown = true;
        fit();
    }
    return false;
}

void ScreenFit::follow(QScreen* screen)
{
    if (m_screen)
        disconnect(m_screen, nullptr, this, nullptr);
    m_screen = screen;
    if (screen)
        connect(screen, &QScreen::availableGeometryChanged, this, &ScreenFit::fit);
}

void ScreenFit::measureAround()
{
    // The menu bar and the status bar differ in height from one platform and style to another
    // (a few pixels more under Windows' style): they are measured as laid out, so that the area
    // needs no scroll bar on a screen that holds the design. Measured only where the layout has
    // just been done (when made, when shown), never while a resize is still pending.
    m_window->layout()->activate();
    m_around = m_window->size() - m_area->size();
}

QSize ScreenFit::designSize() const
{
    return m_area->widget()->size() + m_around;
}

void ScreenFit::fit()
{
    if (!m_screen)
        return;
    const QSize design = designSize();
    QMargins frame;
    if (const QWindow* handle = m_window->windowHandle())
        frame = handle->frameMargins();
    const QSize room = m_screen->availableGeometry().size().shrunkBy(frame);
    if (room.width() >= design.width() && room.height() >= design.height()) {
        m_window->setMinimumSize(design);
        m_window->setMaximumSize(design);
        m_fitted = design;
        m_window->resize(m_fitted);
        return;
    }
    // A window the operator has resized keeps its size where it still fits.
    const QSize largest = design.boundedTo(room);
    const bool resizedByHand = m_window->size() != m_fitted;
    m_fitted = resizedByHand ? m_window->size().boundedTo(largest) : largest;
    m_window->setMinimumSize(m_window->minimumSizeHint().boundedTo(largest));
    m_window->setMaximumSize(design);
    m_window->resize(m_fitted);
}

} // namespace smartcar
