#pragma once

#include "replay/recording.h"

#include <QPixmap>
#include <QWidget>

namespace smartcar {

// A whole recorded run in the speed trend's style: every reading against time, a gap where the
// car fell silent, the alarm speed dashed, green marks where the lamp was lit, and a cursor at
// the play position. A click moves the play position there.
class RunPlot : public QWidget
{
    Q_OBJECT
public:
    explicit RunPlot(const Recording* recording, QWidget* parent = nullptr);

    void setAlarmSpeed(double speed);
    void setPosition(qint64 ms);
    qint64 position() const { return m_position; }

signals:
    void seek(qint64 ms);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRectF plotRect() const;
    double xOf(qint64 ms) const;
    // The run itself changes only with the size or the alarm speed: drawn once, then copied.
    void drawRun();

    const Recording* m_recording;
    double m_alarmSpeed = 0;
    qint64 m_position = 0;
    QPixmap m_run;
};

} // namespace smartcar
