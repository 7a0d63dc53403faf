#pragma once

#include <QRect>
#include <QWidget>

namespace smartcar {

// The window's layout is measured in twips: 1/1440 inch, 15 to the pixel at 96 dpi.
constexpr int px(int twips)
{
    return (twips * 2 + 15) / 30; // nearest pixel
}

// A rectangle in twips, so that it cannot be mistaken for one in pixels.
struct Twips
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    QRect pixels() const { return QRect(px(left), px(top), px(width), px(height)); }
};

inline void placeTwips(QWidget* w, const Twips& at)
{
    w->setGeometry(at.pixels());
}

} // namespace smartcar
