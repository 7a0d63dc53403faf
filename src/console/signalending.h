#pragma once

#include <QObject>
#include <QPointer>

class QSocketNotifier;

namespace smartcar {

class Form1;

// SIGINT (Ctrl+C in the terminal), SIGTERM and SIGHUP end the console the way the end button
// does: the port is closed, so the device is free for the next program, and the program ends
// with code 0. The signal handler only writes a byte to a socket pair; the ending runs from
// the event loop, so a handler in progress finishes first (a turn sends its centring frame).
// A signal the console was started with ignored (nohup) stays ignored. One instance at a
// time; on systems without these signals it does nothing.
class SignalEnding : public QObject
{
    Q_OBJECT
public:
    explicit SignalEnding(Form1* form, QObject* parent = nullptr);
    // Puts back the handling the signals had before.
    ~SignalEnding() override;

    bool isActive() const { return m_notifier != nullptr; }

private:
    void onSignalled();

    QPointer<Form1> m_form;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace smartcar
