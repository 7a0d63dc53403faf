#include "console/form1.h"

#include "common/pacedwait.h"
#include "console/drivekeys.h"
#include "console/errorreport.h"
#include "console/helpdocument.h"
#include "console/keyedstatusbar.h"
#include "console/portbox.h"
#include "console/screenfit.h"
#include "console/shape.h"
#include "console/twips.h"
#include "console/widgets.h"
#include "serial/commport.h"
#include "serial/reconnect.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
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

// Colours of the window tables.
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 192, 0);
const QColor kDarkCyan(0, 192, 192);
const QColor kDarkGreen(0, 128, 0);
const QColor kOlive(192, 192, 0);
const QColor kNavy(0, 0, 128);
const QColor kLightGreen(192, 255, 192);

QColor menuColour()
{
    return QApplication::palette().color(QPalette::Window);
}

// Qt knows no active-caption role; this is the classic desktop value of that colour.
QColor activeCaptionColour()
{
    return QColor(153, 180, 209);
}

} // namespace

Form1::Form1(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tavrin无线智能车控制台"));

    MSComm1 = named(new CommPort(this), "MSComm1");
    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(kPollInterval);
    Timer1->setTimerType(Qt::PreciseTimer);
    m_reconnect = named(new Reconnect(MSComm1, this), "reconnect");

    buildControls();
    buildInstrument();
    buildMenu();
    buildStatusBar();
    connectHandlers();
    DriveKeys::install(this, {Advanced, Retreat, Left, Right, Stop});
    ScreenFit::install(this, QSize(px(20370), menuBar()->sizeHint().height() + px(10740)));

    run([this] { Form_Load(); });
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    // On a screen too small for the whole window the client area scrolls, while the menu bar
    // above it and the status bar below stay in view (see ScreenFit). The scroll area itself is
    // no stop for the Tab key, and the wheel over a control that ignores it scrolls the area.
    auto* area = named(new QScrollArea(this), "clientArea");
    area->setFrameShape(QFrame::NoFrame);
    area->setFocusPolicy(Qt::NoFocus);
    auto* client = named(new QWidget, "client");
    client->setFixedSize(px(20370), px(10245)); // down to the status bar's top edge
    area->setWidget(client);
    setCentralWidget(area);

    const QFont song12 = face(QStringLiteral("宋体"), 12);
    const QFont song1575 = face(QStringLiteral("宋体"), 15.75);
    const QFont xingkai1425 = face(QStringLiteral("华文行楷"), 14.25, QFont::Bold);

    auto* Frame1 = frame(client, "Frame1", QStringLiteral("实时控制区"), 0, 0, 20535, 10335);
    auto* Frame5 = frame(Frame1, "Frame5", {}, 120, 240, 14415, 9495);
    auto* Frame9 = frame(Frame5, "Frame9", {}, 120, 240, 8535, 8775);
    auto* Frame8 = frame(Frame9, "Frame8", {}, 2880, 2520, 2655, 1695);
    auto* Frame10 = frame(Frame5, "Frame10", {}, 8760, 240, 5415, 8775);
    frame(Frame10, "Frame11", QStringLiteral("功能预留区"), 240, 4920, 4935, 3495);
    auto* Frame6 = frame(Frame1, "Frame6", QStringLiteral("超声测距"), 9120, 720, 4935, 2295);
    auto* Frame7 = frame(Frame1, "Frame7", QStringLiteral("串口命令栏"), 9120, 3240, 4935, 1935);
    auto* Frame4 = frame(Frame1, "Frame4", QStringLiteral("Copyright Information"), 14640, 240,
                         5655, 3135);
    auto* Frame2 = frame(Frame1, "Frame2", QStringLiteral("实时速度监测"), 14640, 3480, 5655, 3255);
    auto* Frame3 = frame(Frame1, "Frame3", QStringLiteral("设置区"), 14640, 6840, 5655, 2895);
    for (QGroupBox* g : {Frame6, Frame9, Frame10})
        paint(g, {}, menuColour());
    paint(Frame8, {}, kLightGreen);
    // Frame6 and Frame7 lie over the reserved column of Frame5; keep them on top.
    Frame6->raise();
    Frame7->raise();

    // The driving pad.
    Advanced = button(Frame9, "Advanced", QStringLiteral("Advance"), 3120, 360, 2175, 855,
                      song1575);
    Left = button(Frame9, "Left", QStringLiteral("Left"), 120, 2880, 2175, 855, song1575);
    Right = button(Frame9, "Right", QStringLiteral("Right"), 6120, 2880, 2175, 855, song1575);
    Retreat = button(Frame9, "Retreat", QStringLiteral("Retreat"), 3120, 5280, 2175, 855, song1575);
    Start = button(Frame9, "Start", QStringLiteral("热启动"), 840, 7320, 2175, 855, song12);
    Stop = button(Frame9, "Stop", QStringLiteral("冷制动"), 5280, 7320, 2175, 855, song12);

    auto* Label10 = label(Frame8, "Label10", QStringLiteral("更新速度"), 120, 360, 960, 240);
    NewSpeed = textBox(Frame8, "NewSpeed", QStringLiteral("120"), 1440, 240, 855, 375);
    auto* Label11 = label(Frame8, "Label11", QStringLiteral("转向时间"), 120, 1080, 960, 240);
    ChangeTime = textBox(Frame8, "ChangeTime", QStringLiteral("2000"), 1440, 960, 855, 375);
    for (QWidget* w : std::initializer_list<QWidget*>{Label10, NewSpeed, Label11, ChangeTime}) {
        w->setFont(song12);
        paint(w, {}, kLightGreen);
    }

    // Ultrasonic ranging.
    Check1 = named(new QCheckBox(QStringLiteral("超声测距使能"), Frame6), "Check1");
    placeTwips(Check1, 240, 480, 1935, 375);
    auto* Label9 = label(Frame6, "Label9", QStringLiteral("前方障碍物距离"), 360, 1440, 1680, 240);
    for (QWidget* w : std::initializer_list<QWidget*>{Check1, Label9}) {
        w->setFont(song12);
        paint(w, kNavy, menuColour());
    }
    auto* Text3 = textBox(Frame6, "Text3", QStringLiteral("Distance"), 2760, 1320, 1575, 495);
    Text3->setFont(face(QStringLiteral("宋体"), 14.25));
    paint(Text3, kRed, menuColour());

    // The raw command byte.
    command = textBox(Frame7, "command", QStringLiteral("10"), 360, 720, 1575, 615);
    command->setFont(face(QStringLiteral("宋体-PUA"), 21.75));
    paint(command, kOlive, menuColour());
    Send = button(Frame7, "Send", QStringLiteral("发送(Send)"), 2640, 720, 1575, 615, song12);

    // The banner.
    auto* Label2 = label(Frame4, "Label2", QStringLiteral("Tavrin远程遥控智能车控制台"), 480, 720,
                         4830, 435);
    Label2->setFont(face(QStringLiteral("宋体-PUA"), 21.75, QFont::Bold));
    // The banner's face is often missing; a wider substitute must still show the whole title.
    QFont banner = Label2->font();
    while (QFontMetrics(banner).horizontalAdvance(Label2->text()) > Label2->width()
           && banner.pointSizeF() > 8)
        banner.setPointSizeF(banner.pointSizeF() - 0.75);
    Label2->setFont(banner);
    paint(Label2, kRed);
    Label6 = label(Frame4, "Label6", QStringLiteral("Orvanel"), 720, 1800, 4320, 555);
    Label6->setFont(face(QStringLiteral("华文行楷"), 26.25, QFont::Bold));
    paint(Label6, kGreen);

    // Speed monitoring.
    auto* Label3 = label(Frame2, "Label3", QStringLiteral("报警速度"), 240, 480, 1455, 375);
    MaxSpeed = textBox(Frame2, "MaxSpeed", QStringLiteral("40"), 2520, 240, 1575, 495);
    MaxSpeed->setFont(face(QStringLiteral("宋体-PUA"), 15.75, QFont::Bold));
    paint(MaxSpeed, kRed, menuColour());
    LED1 = named(new Shape(Frame2), "LED1");
    placeTwips(LED1, 4440, 480, 1095, 855);
    auto* Label7 = label(Frame2, "Label7", QStringLiteral("接收数据长度"), 240, 1440, 1800, 285);
    auto* Datalen = textBox(Frame2, "Datalen", QStringLiteral("4"), 2520, 1200, 1575, 495);
    Datalen->setFont(face(QStringLiteral("MS Sans Serif"), 13.5));
    paint(Datalen, kDarkGreen, menuColour());
    auto* Label1 = label(Frame2, "Label1", QStringLiteral("当前小车速度值"), 240, 2400, 2100, 285);
    lblValue = label(Frame2, "lblValue", QString(), 2520, 2280, 1920, 495);
    lblValue->setFont(face(QStringLiteral("Arial Black"), 18, QFont::Black));
    paint(lblValue, kRed, activeCaptionColour());

    // Settings.
    auto* Label5 = label(Frame3, "Label5", QStringLiteral("串口号"), 120, 720, 900, 285);
    cmbCOM = named(new PortBox(Frame3), "cmbCOM");
    placeTwips(cmbCOM, 1200, 720, 1365, 405);
    cmbCOM->setMaxVisibleItems(20);
    cmbCOM->setFont(face(QStringLiteral("Times New Roman"), 12));
    paint(cmbCOM, kGreen, menuColour());
    auto* Label4 = label(Frame3, "Label4", QStringLiteral("采样间隔"), 2760, 720, 1200, 285);
    delaytime = textBox(Frame3, "delaytime", QStringLiteral("10"), 4200, 720, 855, 375);
    delaytime->setFont(face(QStringLiteral("宋体-PUA"), 15.75));
    paint(delaytime, kDarkGreen, menuColour());
    cmdOpenCOM = button(Frame3, "cmdOpenCOM", QStringLiteral("打开端口"), 120, 1680, 1590, 600,
                        song12);
    cmdStart = button(Frame3, "cmdStart", QStringLiteral("开始通信"), 2040, 1680, 1590, 600,
                      song12);
    cmdEnd = button(Frame3, "cmdEnd", QStringLiteral("结束"), 3960, 1680, 1590, 600, song12);

    for (QLabel* l : {Label3, Label4, Label5, Label7, Label1}) {
        l->setFont(xingkai1425);
        paint(l, kDarkCyan);
    }
    paint(Label3, kDarkCyan, menuColour());
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
    StatusBar1 = named(new KeyedStatusBar(this), "StatusBar1");
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
    StatusBar1->addPanel(5200, Style::Text, QStringLiteral("系统消息"), kStatusKey);
    // In a window narrower than its design the fixed texts give way, never the messages.
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
    on(Check1, &QCheckBox::clicked, &Form1::Check1_Click);
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
    connect(m_reconnect, &Reconnect::reconnected, this, &Form1::onReconnected);
    connect(m_reconnect, &Reconnect::stillWaiting, this, &Form1::onStillWaiting);
}

QString Form1::statusText() const
{
    return StatusBar1->panel(kStatusKey)->text();
}

void Form1::setStatus(const QString& text)
{
    QLabel* panel = StatusBar1->panel(kStatusKey);
    panel->setText(text);
    panel->setToolTip(text); // a long message (a device path, a cause) runs past the panel
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
