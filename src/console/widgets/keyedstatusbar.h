#pragma once

#include "common/wallclock.h"

#include <QHash>
#include <QLabel>
#include <QStatusBar>
#include <QString>
#include <QTimer>

namespace smartcar {

// A status bar of fixed-width sunken panels, left to right. A panel with a key is found by
// that key, never by its position; the date and time panels keep themselves current.
class KeyedStatusBar : public QStatusBar
{
    Q_OBJECT
public:
    enum class Style { Text, Date, Time };

    // What a panel is found by; a type of its own, so that it cannot change places with the
    // panel's text.
    struct Key
    {
        QString name;
    };

    // The date and time panels show what `now` says.
    explicit KeyedStatusBar(WallClock now, QWidget* parent = nullptr);

    QLabel* addPanel(int widthTwips, Style style, const QString& text = {}, const Key& key = {});
    // nullptr when no panel has that key.
    QLabel* panel(const Key& key) const;
    // Lets a panel of fixed text give up width when the bar is narrower than all its panels
    // together; it keeps its full width whenever there is room, and its tooltip shows the
    // whole text. The other panels keep theirs, the keyed ones above all.
    static void letShrink(QLabel* panel);

private:
    void refreshClock();

    WallClock m_now;
    QHash<QString, QLabel*> m_keyed;
    QList<QLabel*> m_datePanels;
    QList<QLabel*> m_timePanels;
    QTimer m_clock;
};

} // namespace smartcar
