// The instrument in 功能预留区: the speed trend and the traffic on the line.
#include "console/form1.h"

#include "common/numbers.h"
#include "console/instrument.h"
#include "console/shape.h"
#include "console/speedtrend.h"
#include "console/trafficwindow.h"
#include "console/twips.h"
#include "console/widgets.h"
#include "monitor/poll.h"
#include "serial/commport.h"

#include <QDateTime>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace smartcar {

namespace {
const QColor kLampLit(0, 255, 0);
} // namespace

void Form1::buildInstrument()
{
    m_instrument = named(new Instrument(this), "Instrument");
    auto* Frame11 = findChild<QGroupBox*>(QStringLiteral("Frame11"));
    const QFont song9 = face(QStringLiteral("宋体"), 9);

    auto* Trend = named(new SpeedTrend(Frame11), "Trend");
    placeTwips(Trend, 120, 300, 4695, 2520);
    // The plot's clock runs while readings can come: monitoring on and the port open.
    Trend->setRunning([this] { return Timer1->isActive() && MSComm1->portOpen(); });
    const auto alarmSpeed = [Trend](const QString& text) {
        Trend->setAlarmSpeed(readLeadingDecimal(text));
    };
    alarmSpeed(MaxSpeed->text());
    connect(MaxSpeed, &QLineEdit::textChanged, Trend, alarmSpeed);
    m_instrument->Trend = Trend;

    auto* cmdTraffic = button(Frame11, "cmdTraffic", QStringLiteral("通信记录"), 120, 2925, 1575,
                              450, song9);
    cmdTraffic->setToolTip(QStringLiteral("列出发送和接收的每一帧"));
    connect(cmdTraffic, &QPushButton::clicked, this,
            [this] { run([this] { cmdTraffic_Click(); }); });
    m_instrument->cmdTraffic = cmdTraffic;

    // Every send and every read, at the one place each happens.
    const auto lampLit = [this] { return LED1->fillColor() == kLampLit; };
    const auto now = [] { return QDateTime::currentDateTime(); };
    using Direction = TrafficRow::Direction;
    connect(MSComm1, &CommPort::sent, this, [=, this](const QByteArray& bytes) {
        m_instrument->note({now(), Direction::Sent, bytes, {}, lampLit()});
    });
    connect(MSComm1, &CommPort::sendFailed, this,
            [=, this](const QByteArray& bytes, const QString& reason) {
                m_instrument->note({now(), Direction::Sent, bytes, reason, lampLit()});
            });
    // The lamp as the poll will leave it once it has shown the reading.
    connect(MSComm1, &CommPort::received, this, [=, this](const QByteArray& bytes) {
        const std::optional<quint8> reading = readingOf(bytes);
        const bool lit = lampLit() || (reading && isAlarm(*reading, MaxSpeed->text()));
        m_instrument->note({now(), Direction::Received, bytes, {}, lit});
    });
}

void Form1::noteReading(quint8 reading, bool alarm)
{
    m_instrument->Trend->addReading(reading, alarm);
}

void Form1::cmdTraffic_Click()
{
    QPointer<QWidget>& window = m_instrument->trafficWindow;
    // As with the reference windows: a window closed in the same pass of the event loop is
    // hidden and about to go; build a fresh one rather than show that one.
    if (window && !window->isVisible())
        delete window.data();
    if (!window)
        window = new TrafficWindow(&m_instrument->log, Stop, this);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace smartcar
