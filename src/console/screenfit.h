#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>

class QScreen;
class QScrollArea;
class QWidget;

namespace smartcar {

// Keeps a top-level window of a fixed design size within the screen it is on. The design size is
// what shows the whole of the scroll area's content: the content's size plus what the window
// puts around the area (menu bar, status bar), measured on the platform it runs on. Where the
// screen's available area (logical pixels, after the task bars) holds the whole window with its
// frame, the window has exactly its design size and cannot be resized, as if nothing were done.
// Where it does not, the window is no larger than that area and may be resized up to its design
// size and no further; the window's content must scroll to make up for it. The window is
// followed from screen to screen, and the area as task bars come and go.
class ScreenFit : public QObject
{
public:
    static void install(QWidget* window, QScrollArea* area);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ScreenFit(QWidget* window, QScrollArea* area);
    void measureAround();
    QSize designSize() const;
    void follow(QScreen* screen);
    void fit();

    QWidget* m_window;
    QScrollArea* m_area;
    // What the window puts around the area: the menu bar above it, the status bar below.
    QSize m_around;
    // The size fit() last gave the window; a different size is the operator's own choice.
    QSize m_fitted;
    QPointer<QScreen> m_screen;
    bool m_shown = false;
    bool m_frameKnown = false;
};

} // namespace smartcar
