#pragma once

#include <QObject>

class QSocketNotifier;

namespace smartcar {

// SIGINT (Ctrl+C in the terminal), SIGTERM and SIGHUP, delivered as the Qt signal
// endRequested from the event loop. The signal handler only writes a byte to a socket pair,
// so a handler in progress finishes first (a turn sends its centring frame) and the program
// ends through the same path as its own end. A signal the program was started with ignored
// (nohup) stays ignored, and the handling each signal had before comes back when this goes.
// One instance at a time; on systems without these signals it never emits.
class EndingSignals : public QObject
{
    Q_OBJECT
public:
    explicit EndingSignals(QObject* parent = nullptr);
    ~EndingSignals() override;

signals:
    void endRequested();

private:
    void onSignalled();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace smartcar
