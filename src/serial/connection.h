#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace smartcar {

class CommPort;
class Reconnect;

// The main window's connection steps, decided without a window: which port to close or open,
// when to look for a vanished adapter and when to give it up, what the settings buttons and the
// status panel show afterwards, and whether the poll stops or resumes. The window's handlers
// read their controls, call the step and apply what it returns; this class touches no widget.
class Connection : public QObject
{
    Q_OBJECT
public:
    // What a step leaves on show; an empty field is left as it is.
    struct Shows
    {
        std::optional<QString> status;
        std::optional<bool> openEnabled;  // 打开端口
        std::optional<bool> startEnabled; // 开始检测
        enum class Poll { Keep, Stop, Resume } poll = Poll::Keep;
        // A step that failed: the box's text, and the detail it gives under it.
        QString error;
        QString errorDetail;
    };

    // The port service is the window's; the reconnecting is this class's own.
    explicit Connection(CommPort* port, QObject* parent = nullptr);

    Reconnect* reconnect() const { return m_reconnect; }

    // 初始化变量: a vanished adapter is given up, also when its entry is the first one and the
    // change step that follows has nothing to close.
    Shows initialise();
    // Whether picking list entry `index` changes the port at all.
    bool changes(int index) const;
    // The change step begins (before its wait) and ends (after it).
    void changeBegins();
    Shows changeEnds();
    // 打开端口 on list entry `index`.
    Shows open(int index);
    // The operator has decided about monitoring; a reconnect leaves it as it is then.
    void monitoringDecided() { m_resumeMonitoring = false; }
    // The port's device vanished while the poll was (or was not) running.
    Shows unplugged(bool monitoring);
    // The vanished device is open again by `device`; `monitoring`: the poll runs now.
    Shows reconnected(const QString& device, bool monitoring);
    // The device is back but would not open: `cause`'s first line.
    Shows stillWaiting(const QString& cause) const;
    // The window goes, or the program ends: nothing is looked for, the port is closed.
    void close();

signals:
    // Relayed from the reconnecting, for the window to call the steps above.
    void reopened(const QString& device);
    void reopenFailed(const QString& cause);

private:
    CommPort* m_port;
    Reconnect* m_reconnect;
    // Monitoring was on when the device vanished, and nobody has decided about it since.
    bool m_resumeMonitoring = false;
};

} // namespace smartcar
