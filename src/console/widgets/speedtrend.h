#pragma once

#include "instrument/speedhistory.h"

#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <utility>

namespace smartcar {

// The speed trend in 功能预留区: every reading the poll shows, against the alarm speed, over
// the last minute (a click switches to five minutes, half a minute, and back).
//
// The plot scrolls while its clock runs (monitoring on, the port open) and stands still,
// keeping what it shows, otherwise. However fast the readings come, it repaints at most once
// per pixel's worth of time and at most 30 times a second; a reading is on the plot within
// 200 ms, and a scroll step with no reading in view repaints nothing.
class SpeedTrend : public QWidget
{
    Q_OBJECT
public:
    explicit SpeedTrend(QWidget* parent = nullptr);

    // Asked a few times a second whether the clock runs.
    void setRunning(std::function<bool()> running);
    // `afterGap`: the first reading after the car fell silent, which no line joins to the one
    // before, so that the silence shows as a gap.
    void addReading(quint8 speed, bool alarm, bool afterGap = false);
    // The alarm speed as the lamp reads it; drawn as a dashed line where it lies in 0 to 255.
    void setAlarmSpeed(double speed);
    int spanSeconds() const { return m_spanSeconds; }
    const SpeedHistory& history() const { return m_history; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void onClock();
    void requestPaint(bool whole = false);
    void paintRequested();
    int scrollStep() const;
    bool anythingInView() const;
    qint64 now() const;
    QRectF plotRect() const;
    void paintBackground();
    void drawMarks();
    static constexpr int kMarkSize = 8;
    static constexpr int kMarkHalf = kMarkSize / 2;

    SpeedHistory m_history;
    std::function<bool()> m_running;
    QElapsedTimer m_clock;
    bool m_moving = false;
    qint64 m_frozenAt = 0;
    double m_alarmSpeed = 0;
    int m_spanSeconds = 60;
    QTimer m_clockTimer;
    QTimer m_paintGate;
    QElapsedTimer m_lastPaint;
    bool m_wholePending = true;
    bool m_changed = false; // since the last paint
    bool m_drewPoints = false;
    QPixmap m_background;
    QRectF m_plot;
    QPixmap m_marks;
    std::pair<int, double> m_backgroundKey;
};

} // namespace smartcar
