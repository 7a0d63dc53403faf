#include "serial/connection.h"

#include "common/failure.h"
#include "serial/commport.h"
#include "serial/portmap.h"
#include "serial/reconnect.h"

namespace smartcar {

namespace {
QString goneText()
{
    return QStringLiteral("通信端口已断开，请检查无线适配器");
}

QString waitingText()
{
    return QStringLiteral("通信端口已断开，等待适配器重新插入…（选择其他端口可取消）");
}
} // namespace

Connection::Connection(CommPort* port, QObject* parent)
    : QObject(parent)
    , m_port(port)
    , m_reconnect(new Reconnect(port, this))
{
    m_reconnect->setObjectName(QStringLiteral("reconnect"));
    connect(m_reconnect, &Reconnect::reconnected, this, &Connection::reopened);
    connect(m_reconnect, &Reconnect::stillWaiting, this, &Connection::reopenFailed);
}

Connection::Shows Connection::initialise()
{
    Shows shows;
    if (m_reconnect->isWaiting()) {
        m_reconnect->cancel();
        shows.status = goneText();
    }
    return shows;
}

bool Connection::changes(int index) const
{
    return index + 1 != m_port->commPort();
}

void Connection::changeBegins()
{
    m_reconnect->cancel();
}

Connection::Shows Connection::changeEnds()
{
    // The device may have vanished during the wait and been given up for lost meanwhile; the
    // operator has chosen another port, so it is not looked for.
    m_reconnect->cancel();
    if (m_port->portOpen())
        m_port->setPortOpen(false);
    Shows shows;
    shows.status = QStringLiteral("已停止通信并关闭通讯端口");
    shows.openEnabled = true;
    return shows;
}

Connection::Shows Connection::open(int index)
{
    Shows shows;
    if (!isOpenableIndex(index)) {
        shows.error = QStringLiteral("指定通信端口时发生错误！");
        return shows;
    }
    m_port->setCommPort(index + 1);
    try {
        m_port->setSettings(CommPort::kLineSettings);
        m_port->setPortOpen(true);
    } catch (const Failure& failure) {
        // The detail names the device and why it would not open.
        shows.error = QStringLiteral("打开通信端口时发生错误！请确定通信端口存在且正常。");
        shows.errorDetail = failure.detail();
        return shows;
    }
    m_reconnect->rememberOpened();
    shows.openEnabled = false;
    shows.startEnabled = true;
    shows.status = QStringLiteral("单击【开始通信】按钮，执行通信");
    return shows;
}

Connection::Shows Connection::unplugged(bool monitoring)
{
    // The poll would only fail on the closed port from now on; it stops so the message stays,
    // and the button offers to start it again.
    m_resumeMonitoring = monitoring;
    Shows shows;
    if (monitoring)
        shows.poll = Shows::Poll::Stop;
    shows.status = m_reconnect->startWaiting() ? waitingText() : goneText();
    shows.openEnabled = true;
    return shows;
}

Connection::Shows Connection::reconnected(const QString& device, bool monitoring)
{
    // The port is open as after 打开端口. Nothing is sent: what the car is told next is the
    // operator's decision.
    Shows shows;
    shows.openEnabled = false;
    shows.startEnabled = true;
    if (m_resumeMonitoring && !monitoring)
        shows.poll = Shows::Poll::Resume;
    m_resumeMonitoring = false;
    shows.status = QStringLiteral("已重新连接 ") + device;
    return shows;
}

Connection::Shows Connection::stillWaiting(const QString& cause) const
{
    // One line fits the panel; the cause's first line names the device and what is wrong.
    Shows shows;
    shows.status = QStringLiteral("重新连接失败：%1（仍在等待，选择其他端口可取消）")
                       .arg(cause.section(QLatin1Char('\n'), 0, 0));
    return shows;
}

void Connection::close()
{
    m_reconnect->cancel();
    m_port->setPortOpen(false);
}

} // namespace smartcar
