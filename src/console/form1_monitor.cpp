// Speed monitoring: the receive poll and the alarm lamp.
#include "console/form1.h"

#include "console/colours.h"
#include "console/shape.h"
#include "monitor/poll.h"
#include "serial/commport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace smartcar {

namespace {
constexpr int kBinaryInput = 1;
// The grey of a reading taken before the device went; lblValue's own colour is kAlertRed.
const QColor kStaleGrey(128, 128, 128);
} // namespace

void Form1::cmdStart_Click()
{
    // The operator has decided about monitoring; a reconnect leaves it as it is now.
    m_resumeMonitoring = false;
    if (Timer1->isActive())
        Timer1->stop();
    else
        Timer1->start();

    if (Timer1->isActive()) {
        cmdStart->setText(QStringLiteral("停止检测"));
        setStatus(QStringLiteral("智能车连接成功"));
        Label6->setText(QStringLiteral("欢迎使用"));
    } else {
        cmdStart->setText(QStringLiteral("开始检测"));
        setStatus(QStringLiteral("智能车已断开连接"));
    }
}

void Form1::Timer1_Timer()
{
    // Ticks may overlap (see TickOrder); one that finishes late never covers a newer reading
    // with its older one.
    const TickOrder::Tick tick = m_ticks.begin();

    int waiting = 0;
    std::optional<quint8> reading;
    bool alarm = false;
    try {
        MSComm1->setInputMode(kBinaryInput);
        waiting = MSComm1->inBufferCount();
        const QByteArray bytes = MSComm1->input();
        reading = readingOf(bytes);
        // Judged once, against the alarm speed at the time of the reading: the traffic row
        // records the lamp as this tick leaves it once it has shown the reading.
        alarm = reading && isAlarm(*reading, MaxSpeed->text());
        if (!bytes.isEmpty())
            noteReceived(bytes, m_lampLit || alarm);
        const qint32 interval = samplingInterval(delaytime->text());
        if (!waitPaced(interval))
            return;
    } catch (const Failure& failure) {
        // The tick comes back every 100 ms with the same cause, so a box would pop up ten
        // times a second. The status panel carries it instead, and the timer keeps running
        // so that monitoring resumes by itself once the cause is gone.
        m_ticks.failed(tick);
        setStatus(QStringLiteral("接收失败：") + failure.describe());
        return;
    }

    // The tick succeeded: the port was read and the whole interval waited. The first success
    // that began after the latest failure takes the failure off the status panel, as long as
    // monitoring is still on; stopping, a port change or an unplug leave their own text.
    if (m_ticks.succeeded(tick) && Timer1->isActive())
        setStatus(QStringLiteral("智能车连接成功"));

    // The count is the one taken before the wait. A port change inside the wait may have
    // closed the port by now, so nothing below may touch it.
    if (waiting <= 0 || !reading || !m_ticks.show(tick))
        return;
    lblValue->setText(speedCaption(*reading));
    lblValue->adjustSize();
    showReadingStale(m_ticks.isStale(tick));
    if (alarm) {
        // Once lit, the lamp stays lit.
        m_lampLit = true;
        LED1->setFillColor(kLampGreen);
    }
    noteReading(*reading, alarm);
}

void Form1::showReadingStale(bool stale)
{
    QPalette palette = lblValue->palette();
    palette.setColor(QPalette::WindowText, stale ? kStaleGrey : kAlertRed);
    lblValue->setPalette(palette);
}

} // namespace smartcar
