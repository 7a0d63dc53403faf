#include "console/form1.h"

#include "common/pacedwait.h"
#include "console/drivekeys.h"
#include "console/errorreport.h"
#include "console/helpdocument.h"
#include "console/screenfit.h"
#include "console/spoken.h"
#include "console/widgets/keyedstatusbar.h"
#include "console/widgets/portbox.h"
#include "console/widgets/twips.h"
#include "console/widgets/widgets.h"
#include "console/windows/replaywindow.h"
#include "serial/commport.h"
#include "serial/connection.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>

#include <chrono>

namespace smartcar {

namespace {

constexpr std::chrono::milliseconds kPollInterval{100};
const KeyedStatusBar::Key kStatusKey{QStringLiteral("status")};

} // namespace

Form1::Form1(const Surroundings& surroundings, QWidget* parent)
    : QMainWindow(parent)
    , m_now(surroundings.now)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tavrin无线智能车控制台"));

    MSComm1 = named(new CommPort(this), "MSComm1");
    MSComm1->setPortMap(surroundings.ports);
    MSComm1->setLockDirectories(surroundings.lockDirectories);
    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(kPollInterval);
    Timer1->setTimerType(Qt::PreciseTimer);
    m_connection = named(new Connection(MSComm1, this), "connection");

    m_spoken = new Spoken(this);
    buildControls();
    buildInstrument(surroundings.recordingDisk);
    buildMenu();
    buildStatusBar();
    nameControls();
    connectHandlers();
    DriveKeys::install(this, {Advanced, Retreat, Left, Right, Stop});
    ScreenFit::install(this, static_cast<QScrollArea*>(centralWidget()));

    run([this] { Form_Load(); });
}

Form1::~Form1()
{
    // The 回放 window goes with this one; it tells nobody.
    if (m_replayWindow)
        m_replayWindow->disconnect(this);
}

void Form1::buildMenu()
{
    QMenuBar* bar = menuBar();
    QMenu* open = named(bar->addMenu(QStringLiteral("打开(&O)")), "open");
    Int = named(open->addAction(QStringLiteral("初始化变量(&I)")), "Int");
    commlist = named(open->addAction(QStringLiteral("串口数据对照表")), "commlist");
    named(bar->addAction(QStringLiteral("系统设置(&S)")), "set");
    tech = named(bar->addAction(QStringLiteral("技术支持 (&T)")), "tech");
    user = named(bar->addAction(QStringLiteral("使用说明(&U)")), "user");
    Exit = named(bar->addAction(QStringLiteral("退出(&X)")), "Exit");
    named(bar->addAction(QStringLiteral("删除数据(&D)")), "Delete");
}

void Form1::buildStatusBar()
{
    StatusBar1 = named(new KeyedStatusBar(m_now, this), "StatusBar1");
    StatusBar1->setFixedHeight(px(495));
    setStatusBar(StatusBar1);
    using Style = KeyedStatusBar::Style;
    StatusBar1->addPanel(1440, Style::Date);
    StatusBar1->addPanel(1440, Style::Time);
    QLabel* contact = StatusBar1->addPanel(8440, Style::Text,
                                           QStringLiteral("smartcar-console " PROJECT_VERSION
                                                          " · 故障排除：")
                                               + helpDocumentPath());
    QLabel* title = StatusBar1->addPanel(3200, Style::Text,
                                         QStringLiteral("Tavrin远程遥控智能车控制台"));
    QLabel* status = StatusBar1->addPanel(5200, Style::Text, QStringLiteral("系统消息"),
                                          kStatusKey);
    // Named as it reads; setStatus keeps it so, for a screen reader (Spoken).
    status->setAccessibleName(status->text());
    // In a window narrower than its full width the fixed texts give way, never the messages.
    KeyedStatusBar::letShrink(contact);
    KeyedStatusBar::letShrink(title);
}

void Form1::connectHandlers()
{
    auto on = [this](auto* sender, auto signal, void (Form1::*handler)()) {
        connect(sender, signal, this,
                [this, handler] { run([this, handler] { (this->*handler)(); }); });
    };
    on(Advanced, &QPushButton::clicked, &Form1::Advanced_Click);
    on(Retreat, &QPushButton::clicked, &Form1::Retreat_Click);
    on(Start, &QPushButton::clicked, &Form1::Start_Click);
    on(Stop, &QPushButton::clicked, &Form1::Stop_Click);
    on(Left, &QPushButton::clicked, &Form1::Left_Click);
    on(Right, &QPushButton::clicked, &Form1::Right_Click);
    on(Send, &QPushButton::clicked, &Form1::Send_Click);
    // The box stands for the car's ranging: every change of its state, whether by a click, the
    // keyboard or a screen reader's Toggle, tells the car.
    on(Check1, &QCheckBox::toggled, &Form1::Check1_Click);
    on(cmdOpenCOM, &QPushButton::clicked, &Form1::cmdOpenCOM_Click);
    on(cmdStart, &QPushButton::clicked, &Form1::cmdStart_Click);
    on(cmdEnd, &QPushButton::clicked, &Form1::cmdEnd_Click);
    on(cmbCOM, &PortBox::picked, &Form1::cmbCOM_Click);
    on(Timer1, &QTimer::timeout, &Form1::Timer1_Timer);
    on(Int, &QAction::triggered, &Form1::Int_Click);
    on(commlist, &QAction::triggered, &Form1::commlist_Click);
    on(tech, &QAction::triggered, &Form1::tech_Click);
    on(user, &QAction::triggered, &Form1::user_Click);
    on(Exit, &QAction::triggered, &Form1::Exit_Click);

    connect(MSComm1, &CommPort::disconnected, this, &Form1::onPortDisconnected);
    connect(m_connection, &Connection::reopened, this, &Form1::onReconnected);
    connect(m_connection, &Connection::reopenFailed, this, &Form1::onStillWaiting);
}

QString Form1::statusText() const
{
    return StatusBar1->panel(kStatusKey)->text();
}

void Form1::setStatus(const QString& text)
{
    QLabel* panel = StatusBar1->panel(kStatusKey);
    // A message said again (a failure each tick) is heard once.
    if (panel->text() != text)
        m_spoken->announce(text);
    panel->setText(text);
    panel->setToolTip(text); // a long message (a device path, a cause) runs past the panel
    m_spoken->set(panel, Spoken::Field::Name, text);
}

bool Form1::waitPaced(int ms)
{
    QPointer<Form1> self(this);
    const bool full = PacedWait(ms);
    return full && self && !self->m_released;
}

void Form1::handlerFinished()
{
    --m_handlerDepth;
    if (m_handlerDepth == 0 && m_released && !m_deleteScheduled) {
        m_deleteScheduled = true;
        deleteLater();
    }
}

void Form1::reportFailureHere(const Failure& failure)
{
    reportFailure(this, failure);
}

void Form1::reportUnexpectedHere(const std::exception& e)
{
    reportUnexpected(this, QString::fromLocal8Bit(e.what()));
}

} // namespace smartcar
