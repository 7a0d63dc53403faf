#pragma once

#include <QRect>
#include <QWidget>

namespace smartcar {

// The window tables measure in twips: 1/1440 inch, 15 to the pixel at 96 dpi.
constexpr int px(int twips)
{
    return (twips * 2 + 15) / 30; // nearest pixel
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

inline void placeTwips(QWidget* w, int left, int top, int width, int height)
{
    w->setGeometry(twipsRect(left, top, width, height));
}

} // namespace smartcar
