#pragma once

#include "replay/recording.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class QCloseEvent;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QTableView;

namespace smartcar {

class RunPlot;

// 回放: a recording seen again, and, from its play position, driven again. Viewing sends
// nothing, whatever the port's state: play and pause, a speed from 0.5× to 10×, seeking with
// the slider or a click on the plot, and stepping a row at a time; the row at the play
// position is selected. 按记录行驶 asks the main window to drive (driveRequested); while it
// drives, the window plays at 1× with it and only 停止 and the brake act.
class ReplayWindow : public QWidget
{
    Q_OBJECT
public:
    ReplayWindow(Recording recording, const QString& path, QWidget* owner);

    const Recording& recording() const { return m_recording; }
    qint64 position() const { return m_position; }
    bool isPlaying() const { return m_playing; }

    // Whether the main window could drive now (a port open); the button follows it.
    void setPortOpen(bool open);
    void setAlarmSpeed(double speed);
    // The main window's drive began at `fromMs`, or ended.
    void driveStarted(qint64 fromMs);
    void driveEnded();

    void setPosition(qint64 ms);
    void play();
    void pause();

signals:
    void driveRequested(qint64 fromMs);
    void stopRequested();
    // The window is closing, still whole.
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void tick();
    void showPosition();
    void updateButtons();
    double speed() const;

    Recording m_recording;
    RunPlot* m_plot;
    QTableView* m_rows;
    QSlider* m_slider;
    QPushButton* m_play;
    QComboBox* m_speed;
    QPushButton* m_previous;
    QPushButton* m_next;
    QLabel* m_elapsed;
    QPushButton* m_drive;
    QPushButton* m_stop;

    qint64 m_position = 0;
    qsizetype m_shownRow = -2;
    bool m_playing = false;
    bool m_driving = false;
    bool m_portOpen = false;
    qint64 m_playedFrom = 0; // the position when play last began
    QElapsedTimer m_clock;
    QTimer m_ticks; // runs only while playing
};

} // namespace smartcar
