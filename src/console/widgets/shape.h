#pragma once

#include <QColor>
#include <QWidget>

namespace smartcar {

// A filled circle drawn centred in its rectangle, as large as the shorter side allows.
class Shape : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor fillColor READ fillColor WRITE setFillColor)
public:
    explicit Shape(QWidget* parent = nullptr);

    QColor fillColor() const { return m_fill; }
    void setFillColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill{224, 224, 224};
};

} // namespace smartcar
