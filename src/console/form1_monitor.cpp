// Speed monitoring: the receive poll and the alarm lamp.
#include "console/form1.h"

#include "console/spoken.h"
#include "console/widgets/colours.h"
#include "console/widgets/shape.h"
#include "monitor/poll.h"
#include "serial/commport.h"
#include "serial/connection.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

namespace smartcar {

namespace {
constexpr int kBinaryInput = 1;
// The grey of a reading taken before the device went; lblValue's own colour is kAlertRed.
const QColor kStaleGrey(128, 128, 128);

qint64 monotonicMs()
{
    QElapsedTimer clock;
    clock.start();
    return clock.msecsSinceReference();
}
} // namespace

void Form1::cmdStart_Click()
{
    // The operator has decided about monitoring; a reconnect leaves it as it is now.
    m_connection->monitoringDecided();
    if (Timer1->isActive())
        Timer1->stop();
    else
        startPoll();

    if (Timer1->isActive()) {
        cmdStart->setText(QStringLiteral("停止检测"));
        setStatus(QStringLiteral("智能车连接成功"));
        Label6->setText(QStringLiteral("欢迎使用"));
    } else {
        cmdStart->setText(QStringLiteral("开始检测"));
        setStatus(QStringLiteral("智能车已断开连接"));
    }
}

void Form1::startPoll()
{
    Timer1->start();
    m_poll.restart(monotonicMs());
}

void Form1::Timer1_Timer()
{
    // Ticks may overlap (see TickOrder); one that finishes late never covers a newer reading
    // with its older one.
    const TickOrder::Tick tick = m_poll.begin();

    PollState::Read read;
    QByteArray bytes;
    QDateTime readAt;
    // However the tick ends, its bytes are listed and recorded with the lamp as the tick left
    // it: lit only if it showed a reading that lit it.
    const auto listBytes = qScopeGuard([&] {
        if (!bytes.isEmpty())
            noteReceived(readAt, bytes);
    });
    try {
        MSComm1->setInputMode(kBinaryInput);
        const int waiting = MSComm1->inBufferCount();
        bytes = MSComm1->input();
        readAt = m_now();
        read = m_poll.read(tick, waiting, bytes, MaxSpeed->text(), monotonicMs());
        showSilence(read.silence);
        const qint32 interval = samplingInterval(delaytime->text());
        if (!waitPaced(interval))
            return;
    } catch (const Failure& failure) {
        // The tick comes back every 100 ms with the same cause, so a box would pop up ten
        // times a second. The status panel carries it instead, and the timer keeps running
        // so that monitoring resumes by itself once the cause is gone.
        m_poll.failed(tick);
        setStatus(QStringLiteral("接收失败：") + failure.describe());
        return;
    }

    // The tick succeeded: the port was read and the whole interval waited. A port change
    // inside the wait may have closed the port by now, so nothing below may touch it.
    const PollState::Show show = m_poll.finished(read, Timer1->isActive());
    if (show.connectedAgain)
        setStatus(QStringLiteral("智能车连接成功"));
    if (!show.reading)
        return;
    lblValue->setText(speedCaption(*show.reading));
    lblValue->adjustSize();
    showReadingStale(show.stale, *show.reading);
    if (show.lightsLamp) {
        if (LED1->fillColor() != kLampGreen)
            m_spoken->announce(QStringLiteral("报警灯亮"));
        LED1->setFillColor(kLampGreen);
        m_spoken->set(LED1, Spoken::Field::Description, QStringLiteral("亮"));
    }
    noteReading(*show.reading, show.lightsLamp, show.afterGap);
}

void Form1::showSilence(const Silence::Seen& seen)
{
    // The last reading is no longer the car's speed; the lamp keeps what the last one did.
    if (seen.began) {
        showReadingStale(true);
        noteReceived(m_now(), {});
    }
    if (seen.ended)
        setStatus(QStringLiteral("智能车连接成功"));
    if (seen.seconds > 0)
        setStatus(QStringLiteral("已 %1 秒未收到小车的数据").arg(seen.seconds));
}

void Form1::showReadingStale(bool stale, std::optional<quint8> value)
{
    const QColor colour = stale ? kStaleGrey : kAlertRed;
    if (lblValue->palette().color(QPalette::WindowText) != colour) {
        QPalette palette = lblValue->palette();
        palette.setColor(QPalette::WindowText, colour);
        lblValue->setPalette(palette);
    }
    QString name = QStringLiteral("当前小车速度值 ")
        + (lblValue->text().isEmpty() ? QStringLiteral("无读数") : lblValue->text());
    if (stale && !lblValue->text().isEmpty())
        name += QStringLiteral("（已过时）");
    m_spoken->setReading(lblValue, name, value);
}

} // namespace smartcar
