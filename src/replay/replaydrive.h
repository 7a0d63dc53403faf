#pragma once

#include "car/carcode.h"
#include "replay/recording.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

namespace smartcar {

// Drives the car through a recording again: from a position on, every frame the recording
// sent successfully goes out at its recorded offset, each as one write. It never waits: frames
// are due by a timer, so everything else (the brake above all) goes on meanwhile. A recorded
// turn is its two frames at their two times.
class ReplayDrive : public QObject
{
    Q_OBJECT
public:
    struct Frame
    {
        qint64 offsetMs = 0;
        QByteArray bytes;
    };
    // Sends one frame; false when the write failed (the drive then stops with `why`).
    using Send = std::function<bool(const QByteArray& frame, QString* why)>;

    // What a stop leaves for the console to send: the centring frame of a turn the drive had
    // begun, which goes before the brake.
    struct Stop
    {
        std::optional<CarCode> centring;
    };

    explicit ReplayDrive(QObject* parent = nullptr);

    // The frames a drive plays: sends that went out, in the order of the file.
    static QList<Frame> framesOf(const Recording& recording);

    // Starts at offset `fromMs` of the recording; a frame at `fromMs` goes out at once.
    void start(const QList<Frame>& frames, qint64 fromMs, Send send);
    bool isRunning() const { return m_running; }
    // Where in the recording the drive is now.
    qint64 positionMs() const;
    // Stops at once, nothing more is sent by the drive. Emits nothing.
    Stop stop();

signals:
    // Every frame played.
    void played(qint64 offsetMs);
    // The last frame has gone out.
    void finished();
    // A frame could not be sent; the drive has stopped (`stop()` is the caller's to take).
    void failed(const QString& why);

private:
    void sendDue();

    QList<Frame> m_frames;
    qsizetype m_next = 0;
    qint64 m_fromMs = 0;
    Send m_send;
    bool m_running = false;
    // The centring a sent turn frame is waiting for.
    std::optional<CarCode> m_openTurn;
    QElapsedTimer m_clock;
    QTimer m_due;
};

} // namespace smartcar
