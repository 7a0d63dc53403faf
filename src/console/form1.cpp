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
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>

#include <chrono>
#include <optional>

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
    m_reconnect = named(new Reconnect(MSComm1, this), "reconnect");

    buildControls();
    buildInstrument();
    buildMenu();
    buildStatusBar();
    connectHandlers();
    DriveKeys::install(this, {Advanced, Retreat, Left, Right, Stop});
    ScreenFit::install(this, static_cast<QScrollArea*>(centralWidget()));

    run([this] { Form_Load(); });
}

Form1::~Form1() = default;

namespace {

// The kinds of control the main window is built from.
enum class Kind { Frame, Button, Label, TextBox, CheckBox, Lamp, Ports };

// One control of the main window: where it sits (in twips, within its parent) and how it
// looks. The table below lists them in the order they are made, which is also the order the
// Tab key visits them in.
struct Control
{
    Kind kind;
    const char* name;
    const char* parent; // the client area when null
    QString text;
    QRect twips;
    std::optional<QFont> font = {};
    QColor colour = {};
    QColor background = {};
};

QWidget* make(const Control& c, QWidget* parent)
{
    const QRect& r = c.twips;
    QWidget* w = nullptr;
    switch (c.kind) {
    case Kind::Frame:
        return frame(parent, c.name, c.text, r.x(), r.y(), r.width(), r.height());
    case Kind::Button:
        return button(parent, c.name, c.text, r.x(), r.y(), r.width(), r.height());
    case Kind::Label:
        return label(parent, c.name, c.text, r.x(), r.y(), r.width(), r.height());
    case Kind::TextBox:
        return textBox(parent, c.name, c.text, r.x(), r.y(), r.width(), r.height());
    case Kind::CheckBox:
        w = named(new QCheckBox(c.text, parent), c.name);
        break;
    case Kind::Lamp:
        w = named(new Shape(parent), c.name);
        break;
    case Kind::Ports:
        w = named(new PortBox(parent), c.name);
        break;
    }
    placeTwips(w, r.x(), r.y(), r.width(), r.height());
    return w;
}

template <typename W>
void take(W*& member, const QHash<QByteArray, QWidget*>& made, const char* name)
{
    member = dynamic_cast<W*>(made.value(name));
    Q_ASSERT(member);
}

} // namespace

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
    const QColor menu = menuColour();
    using K = Kind;
    const Control controls[] = {
        {K::Frame, "Frame1", nullptr, QStringLiteral("实时控制区"), {0, 0, 20535, 10335}},
        {K::Frame, "Frame5", "Frame1", {}, {120, 240, 14415, 9495}},
        {K::Frame, "Frame9", "Frame5", {}, {120, 240, 8535, 8775}, {}, {}, menu},
        {K::Frame, "Frame8", "Frame9", {}, {2880, 2520, 2655, 1695}, {}, {}, kLightGreen},
        {K::Frame, "Frame10", "Frame5", {}, {8760, 240, 5415, 8775}, {}, {}, menu},
        {K::Frame, "Frame11", "Frame10", QStringLiteral("功能预留区"), {240, 4920, 4935, 3495}},
        {K::Frame,
         "Frame6",
         "Frame1",
         QStringLiteral("超声测距"),
         {9120, 720, 4935, 2295},
         {},
         {},
         menu},
        {K::Frame, "Frame7", "Frame1", QStringLiteral("串口命令栏"), {9120, 3240, 4935, 1935}},
        {K::Frame,
         "Frame4",
         "Frame1",
         QStringLiteral("Copyright Information"),
         {14640, 240, 5655, 3135}},
        {K::Frame, "Frame2", "Frame1", QStringLiteral("实时速度监测"), {14640, 3480, 5655, 3255}},
        {K::Frame, "Frame3", "Frame1", QStringLiteral("设置区"), {14640, 6840, 5655, 2895}},

        // The driving pad.
        {K::Button,
         "Advanced",
         "Frame9",
         QStringLiteral("Advance"),
         {3120, 360, 2175, 855},
         song1575},
        {K::Button, "Left", "Frame9", QStringLiteral("Left"), {120, 2880, 2175, 855}, song1575},
        {K::Button, "Right", "Frame9", QStringLiteral("Right"), {6120, 2880, 2175, 855}, song1575},
        {K::Button,
         "Retreat",
         "Frame9",
         QStringLiteral("Retreat"),
         {3120, 5280, 2175, 855},
         song1575},
        {K::Button, "Start", "Frame9", QStringLiteral("热启动"), {840, 7320, 2175, 855}, song12},
        {K::Button, "Stop", "Frame9", QStringLiteral("冷制动"), {5280, 7320, 2175, 855}, song12},
        {K::Label,
         "Label10",
         "Frame8",
         QStringLiteral("更新速度"),
         {120, 360, 960, 240},
         song12,
         {},
         kLightGreen},
        {K::TextBox,
         "NewSpeed",
         "Frame8",
         QStringLiteral("120"),
         {1440, 240, 855, 375},
         song12,
         {},
         kLightGreen},
        {K::Label,
         "Label11",
         "Frame8",
         QStringLiteral("转向时间"),
         {120, 1080, 960, 240},
         song12,
         {},
         kLightGreen},
        {K::TextBox,
         "ChangeTime",
         "Frame8",
         QStringLiteral("2000"),
         {1440, 960, 855, 375},
         song12,
         {},
         kLightGreen},

        // Ultrasonic ranging.
        {K::CheckBox,
         "Check1",
         "Frame6",
         QStringLiteral("超声测距使能"),
         {240, 480, 1935, 375},
         song12,
         kNavy,
         menu},
        {K::Label,
         "Label9",
         "Frame6",
         QStringLiteral("前方障碍物距离"),
         {360, 1440, 1680, 240},
         song12,
         kNavy,
         menu},
        {K::TextBox,
         "Text3",
         "Frame6",
         QStringLiteral("Distance"),
         {2760, 1320, 1575, 495},
         face(QStringLiteral("宋体"), 14.25),
         kRed,
         menu},

        // The raw command byte.
        {K::TextBox,
         "command",
         "Frame7",
         QStringLiteral("10"),
         {360, 720, 1575, 615},
         face(QStringLiteral("宋体-PUA"), 21.75),
         kOlive,
         menu},
        {K::Button, "Send", "Frame7", QStringLiteral("发送(Send)"), {2640, 720, 1575, 615}, song12},

        // The banner.
        {K::Label,
         "Label2",
         "Frame4",
         QStringLiteral("Tavrin远程遥控智能车控制台"),
         {480, 720, 4830, 435},
         face(QStringLiteral("宋体-PUA"), 21.75, QFont::Bold),
         kRed},
        {K::Label,
         "Label6",
         "Frame4",
         QStringLiteral("Orvanel"),
         {720, 1800, 4320, 555},
         face(QStringLiteral("华文行楷"), 26.25, QFont::Bold),
         kGreen},

        // Speed monitoring.
        {K::Label,
         "Label3",
         "Frame2",
         QStringLiteral("报警速度"),
         {240, 480, 1455, 375},
         xingkai1425,
         kDarkCyan,
         menu},
        {K::TextBox,
         "MaxSpeed",
         "Frame2",
         QStringLiteral("40"),
         {2520, 240, 1575, 495},
         face(QStringLiteral("宋体-PUA"), 15.75, QFont::Bold),
         kRed,
         menu},
        {K::Lamp, "LED1", "Frame2", {}, {4440, 480, 1095, 855}},
        {K::Label,
         "Label7",
         "Frame2",
         QStringLiteral("接收数据长度"),
         {240, 1440, 1800, 285},
         xingkai1425,
         kDarkCyan},
        {K::TextBox,
         "Datalen",
         "Frame2",
         QStringLiteral("4"),
         {2520, 1200, 1575, 495},
         face(QStringLiteral("MS Sans Serif"), 13.5),
         kDarkGreen,
         menu},
        {K::Label,
         "Label1",
         "Frame2",
         QStringLiteral("当前小车速度值"),
         {240, 2400, 2100, 285},
         xingkai1425,
         kDarkCyan},
        {K::Label,
         "lblValue",
         "Frame2",
         {},
         {2520, 2280, 1920, 495},
         face(QStringLiteral("Arial Black"), 18, QFont::Black),
         kRed,
         activeCaptionColour()},

        // Settings.
        {K::Label,
         "Label5",
         "Frame3",
         QStringLiteral("串口号"),
         {120, 720, 900, 285},
         xingkai1425,
         kDarkCyan},
        {K::Ports,
         "cmbCOM",
         "Frame3",
         {},
         {1200, 720, 1365, 405},
         face(QStringLiteral("Times New Roman"), 12),
         kGreen,
         menu},
        {K::Label,
         "Label4",
         "Frame3",
         QStringLiteral("采样间隔"),
         {2760, 720, 1200, 285},
         xingkai1425,
         kDarkCyan},
        {K::TextBox,
         "delaytime",
         "Frame3",
         QStringLiteral("10"),
         {4200, 720, 855, 375},
         face(QStringLiteral("宋体-PUA"), 15.75),
         kDarkGreen,
         menu},
        {K::Button,
         "cmdOpenCOM",
         "Frame3",
         QStringLiteral("打开端口"),
         {120, 1680, 1590, 600},
         song12},
        {K::Button,
         "cmdStart",
         "Frame3",
         QStringLiteral("开始通信"),
         {2040, 1680, 1590, 600},
         song12},
        {K::Button, "cmdEnd", "Frame3", QStringLiteral("结束"), {3960, 1680, 1590, 600}, song12},
    };

    QHash<QByteArray, QWidget*> made;
    for (const Control& c : controls) {
        QWidget* w = make(c, c.parent ? made.value(c.parent) : client);
        if (c.font)
            w->setFont(*c.font);
        if (c.colour.isValid() || c.background.isValid())
            paint(w, c.colour, c.background);
        made.insert(c.name, w);
    }
    // Frame6 and Frame7 lie over the reserved column of Frame5; keep them on top.
    made.value("Frame6")->raise();
    made.value("Frame7")->raise();

    take(Advanced, made, "Advanced");
    take(Left, made, "Left");
    take(Right, made, "Right");
    take(Retreat, made, "Retreat");
    take(Start, made, "Start");
    take(Stop, made, "Stop");
    take(NewSpeed, made, "NewSpeed");
    take(ChangeTime, made, "ChangeTime");
    take(Check1, made, "Check1");
    take(command, made, "command");
    take(Send, made, "Send");
    take(Label6, made, "Label6");
    take(MaxSpeed, made, "MaxSpeed");
    take(LED1, made, "LED1");
    take(lblValue, made, "lblValue");
    take(cmbCOM, made, "cmbCOM");
    take(delaytime, made, "delaytime");
    take(cmdOpenCOM, made, "cmdOpenCOM");
    take(cmdStart, made, "cmdStart");
    take(cmdEnd, made, "cmdEnd");

    cmbCOM->setMaxVisibleItems(20);
    cmbCOM->setPort(MSComm1);
    // The banner's face is often missing; a wider substitute must still show the whole title.
    QLabel* banner = nullptr;
    take(banner, made, "Label2");
    QFont font = banner->font();
    while (QFontMetrics(font).horizontalAdvance(banner->text()) > banner->width()
           && font.pointSizeF() > 8)
        font.setPointSizeF(font.pointSizeF() - 0.75);
    banner->setFont(font);
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
