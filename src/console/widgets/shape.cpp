#include "console/widgets/shape.h"

#include <QPainter>

namespace smartcar {

Shape::Shape(QWidget* parent)
    : QWidget(parent)
{
}

void Shape::setFillColor(const QColor& color)
{
    if (color == m_fill)
        return;
    m_fill = color;
    update();
}

void Shape::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int d = qMin(width(), height()) - 1;
    const QRect circle((width() - d) / 2, (height() - d) / 2, d, d);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(m_fill);
    p.drawEllipse(circle);
}

} // namespace smartcar
