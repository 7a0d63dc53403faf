// Speed monitoring: the receive poll and the alarm lamp.
#include "console/form1.h"

#include "common/numbers.h"
#include "console/shape.h"
#include "monitor/poll.h"
#include "serial/commport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

namespace smartcar {

namespace {
constexpr int kBinaryInput = 1;
const QColor kAlarmGreen(0, 255, 0);
} // namespace

void Form1::cmdStart_Click()
{
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
    // Qt does not deliver a timer's event again while its handler runs, but stopping and
    // starting Timer1 inside the wait (cmdStart pressed twice) makes a fresh timer that would.
    // A nested tick would take the bytes that came during the wait and show them before the
    // outer tick covers them with its older reading; it leaves them for the next tick.
    if (m_polling)
        return;
    m_polling = true;
    const auto done = qScopeGuard([self = QPointer<Form1>(this)] {
        if (self)
            self->m_polling = false;
    });

    int waiting = 0;
    std::optional<quint8> reading;
    try {
        MSComm1->setInputMode(kBinaryInput);
        waiting = MSComm1->inBufferCount();
        reading = readingOf(MSComm1->input());
        const qint32 interval = toWholeNumber(delaytime->text(), QStringLiteral("「采样间隔」"));
        if (!waitPaced(interval))
            return;
    } catch (const Failure& failure) {
        // The tick comes back every 100 ms with the same cause, so a box would pop up ten
        // times a second. The status panel carries it instead, and the timer keeps running
        // so that monitoring resumes by itself once the cause is gone.
        setStatus(QStringLiteral("接收失败：") + failure.describe());
        return;
    }

    // The count is the one taken before the wait. A port change inside the wait may have
    // closed the port by now, so nothing below may touch it.
    if (waiting <= 0 || !reading)
        return;
    lblValue->setText(speedCaption(*reading));
    lblValue->adjustSize();
    if (isAlarm(*reading, MaxSpeed->text()))
        LED1->setFillColor(kAlarmGreen);
}

} // namespace smartcar
