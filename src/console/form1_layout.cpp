// The main window's controls: where each sits, how it looks, and which of them the handlers
// keep at hand.

#include "console/accessibility.h"
#include "console/form1.h"
#include "console/widgets/colours.h"

#include "console/widgets/portbox.h"
#include "console/widgets/shape.h"
#include "console/widgets/twips.h"
#include "console/widgets/widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>

#include <optional>
#include <type_traits>

namespace smartcar {

namespace {

// The window's colours.
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 192, 0);
const QColor kDarkCyan(0, 192, 192);
const QColor kDarkGreen(0, 128, 0);
const QColor kOlive(192, 192, 0);
const QColor kNavy(0, 0, 128);

// What a control fills its background with, if anything. The menu colour follows the desktop,
// so it is looked up as the control is made.
enum class Fill { None, Menu, LightGreen, ActiveCaption };

QColor fillColour(Fill fill)
{
    switch (fill) {
    case Fill::None:
        break;
    case Fill::Menu:
        return QApplication::palette().color(QPalette::Window);
    case Fill::LightGreen:
        return QColor(192, 255, 192);
    case Fill::ActiveCaption:
        // Qt knows no active-caption role; this is the classic desktop value of that colour.
        return QColor(153, 180, 209);
    }
    return {};
}

// A typeface by the name the window is drawn in; face() adds what a machine without it has.
struct Typeface
{
    QStringView family;
    qreal points = 0;
    QFont::Weight weight = QFont::Normal;
};

const Typeface kSong12{u"宋体", 12};
const Typeface kSong1575{u"宋体", 15.75};
const Typeface kXingkai1425{u"华文行楷", 14.25, QFont::Bold};

// The kinds of control the main window is built from.
enum class Kind { Frame, Button, Label, TextBox, CheckBox, Lamp, Ports };

// Puts a control just made into the member of Form1 that the handlers reach it by.
using Keep = void (*)(Form1&, QWidget*);

template <auto member>
void keep(Form1& form, QWidget* made)
{
    auto& slot = form.*member;
    slot = dynamic_cast<std::remove_reference_t<decltype(slot)>>(made);
    Q_ASSERT(slot);
}

// One control of the main window: where it sits (in twips, within its parent) and how it looks.
struct Control
{
    Kind kind;
    const char* name;
    const char* parent = nullptr; // the client area when null
    QStringView text = {};
    Twips at = {};
    std::optional<Typeface> face = {};
    QColor colour = {};
    Fill background = Fill::None;
    Keep keep = nullptr; // null for a control only its name finds
};

} // namespace

// Form1 lets this table name its private members.
struct Form1Layout
{
    // In the order the controls are made, which is also the order the Tab key visits them in;
    // a parent comes before its children.
    static const Control controls[];
};

const Control Form1Layout::controls[] = {
    {.kind = Kind::Frame, .name = "Frame1", .text = u"实时控制区", .at = {0, 0, 20535, 10335}},
    {.kind = Kind::Frame, .name = "Frame5", .parent = "Frame1", .at = {120, 240, 14415, 9495}},
    {.kind = Kind::Frame,
     .name = "Frame9",
     .parent = "Frame5",
     .at = {120, 240, 8535, 8775},
     .background = Fill::Menu},
    {.kind = Kind::Frame,
     .name = "Frame8",
     .parent = "Frame9",
     .at = {2880, 2520, 2655, 1695},
     .background = Fill::LightGreen},
    {.kind = Kind::Frame,
     .name = "Frame10",
     .parent = "Frame5",
     .at = {8760, 240, 5415, 8775},
     .background = Fill::Menu},
    {.kind = Kind::Frame,
     .name = "Frame11",
     .parent = "Frame10",
     .text = u"功能预留区",
     .at = {240, 4920, 4935, 3495}},
    {.kind = Kind::Frame,
     .name = "Frame6",
     .parent = "Frame1",
     .text = u"超声测距",
     .at = {9120, 720, 4935, 2295},
     .background = Fill::Menu},
    {.kind = Kind::Frame,
     .name = "Frame7",
     .parent = "Frame1",
     .text = u"串口命令栏",
     .at = {9120, 3240, 4935, 1935}},
    {.kind = Kind::Frame,
     .name = "Frame4",
     .parent = "Frame1",
     .text = u"Copyright Information",
     .at = {14640, 240, 5655, 3135}},
    {.kind = Kind::Frame,
     .name = "Frame2",
     .parent = "Frame1",
     .text = u"实时速度监测",
     .at = {14640, 3480, 5655, 3255}},
    {.kind = Kind::Frame,
     .name = "Frame3",
     .parent = "Frame1",
     .text = u"设置区",
     .at = {14640, 6840, 5655, 2895}},

    // The driving pad.
    {.kind = Kind::Button,
     .name = "Advanced",
     .parent = "Frame9",
     .text = u"Advance",
     .at = {3120, 360, 2175, 855},
     .face = kSong1575,
     .keep = keep<&Form1::Advanced>},
    {.kind = Kind::Button,
     .name = "Left",
     .parent = "Frame9",
     .text = u"Left",
     .at = {120, 2880, 2175, 855},
     .face = kSong1575,
     .keep = keep<&Form1::Left>},
    {.kind = Kind::Button,
     .name = "Right",
     .parent = "Frame9",
     .text = u"Right",
     .at = {6120, 2880, 2175, 855},
     .face = kSong1575,
     .keep = keep<&Form1::Right>},
    {.kind = Kind::Button,
     .name = "Retreat",
     .parent = "Frame9",
     .text = u"Retreat",
     .at = {3120, 5280, 2175, 855},
     .face = kSong1575,
     .keep = keep<&Form1::Retreat>},
    {.kind = Kind::Button,
     .name = "Start",
     .parent = "Frame9",
     .text = u"热启动",
     .at = {840, 7320, 2175, 855},
     .face = kSong12,
     .keep = keep<&Form1::Start>},
    {.kind = Kind::Button,
     .name = "Stop",
     .parent = "Frame9",
     .text = u"冷制动",
     .at = {5280, 7320, 2175, 855},
     .face = kSong12,
     .keep = keep<&Form1::Stop>},
    {.kind = Kind::Label,
     .name = "Label10",
     .parent = "Frame8",
     .text = u"更新速度",
     .at = {120, 360, 960, 240},
     .face = kSong12,
     .background = Fill::LightGreen},
    {.kind = Kind::TextBox,
     .name = "NewSpeed",
     .parent = "Frame8",
     .text = u"120",
     .at = {1440, 240, 855, 375},
     .face = kSong12,
     .background = Fill::LightGreen,
     .keep = keep<&Form1::NewSpeed>},
    {.kind = Kind::Label,
     .name = "Label11",
     .parent = "Frame8",
     .text = u"转向时间",
     .at = {120, 1080, 960, 240},
     .face = kSong12,
     .background = Fill::LightGreen},
    {.kind = Kind::TextBox,
     .name = "ChangeTime",
     .parent = "Frame8",
     .text = u"2000",
     .at = {1440, 960, 855, 375},
     .face = kSong12,
     .background = Fill::LightGreen,
     .keep = keep<&Form1::ChangeTime>},

    // Ultrasonic ranging.
    {.kind = Kind::CheckBox,
     .name = "Check1",
     .parent = "Frame6",
     .text = u"超声测距使能",
     .at = {240, 480, 1935, 375},
     .face = kSong12,
     .colour = kNavy,
     .background = Fill::Menu,
     .keep = keep<&Form1::Check1>},
    {.kind = Kind::Label,
     .name = "Label9",
     .parent = "Frame6",
     .text = u"前方障碍物距离",
     .at = {360, 1440, 1680, 240},
     .face = kSong12,
     .colour = kNavy,
     .background = Fill::Menu},
    {.kind = Kind::TextBox,
     .name = "Text3",
     .parent = "Frame6",
     .text = u"Distance",
     .at = {2760, 1320, 1575, 495},
     .face = Typeface{u"宋体", 14.25},
     .colour = kRed,
     .background = Fill::Menu},

    // The raw command byte.
    {.kind = Kind::TextBox,
     .name = "command",
     .parent = "Frame7",
     .text = u"10",
     .at = {360, 720, 1575, 615},
     .face = Typeface{u"宋体-PUA", 21.75},
     .colour = kOlive,
     .background = Fill::Menu,
     .keep = keep<&Form1::command>},
    {.kind = Kind::Button,
     .name = "Send",
     .parent = "Frame7",
     .text = u"发送(Send)",
     .at = {2640, 720, 1575, 615},
     .face = kSong12,
     .keep = keep<&Form1::Send>},

    // The banner.
    {.kind = Kind::Label,
     .name = "Label2",
     .parent = "Frame4",
     .text = u"Tavrin远程遥控智能车控制台",
     .at = {480, 720, 4830, 435},
     .face = Typeface{u"宋体-PUA", 21.75, QFont::Bold},
     .colour = kRed},
    {.kind = Kind::Label,
     .name = "Label6",
     .parent = "Frame4",
     .text = u"Orvanel",
     .at = {720, 1800, 4320, 555},
     .face = Typeface{u"华文行楷", 26.25, QFont::Bold},
     .colour = kGreen,
     .keep = keep<&Form1::Label6>},

    // Speed monitoring.
    {.kind = Kind::Label,
     .name = "Label3",
     .parent = "Frame2",
     .text = u"报警速度",
     .at = {240, 480, 1455, 375},
     .face = kXingkai1425,
     .colour = kDarkCyan,
     .background = Fill::Menu},
    {.kind = Kind::TextBox,
     .name = "MaxSpeed",
     .parent = "Frame2",
     .text = u"40",
     .at = {2520, 240, 1575, 495},
     .face = Typeface{u"宋体-PUA", 15.75, QFont::Bold},
     .colour = kAlertRed,
     .background = Fill::Menu,
     .keep = keep<&Form1::MaxSpeed>},
    {.kind = Kind::Lamp,
     .name = "LED1",
     .parent = "Frame2",
     .at = {4440, 480, 1095, 855},
     .keep = keep<&Form1::LED1>},
    {.kind = Kind::Label,
     .name = "Label7",
     .parent = "Frame2",
     .text = u"接收数据长度",
     .at = {240, 1440, 1800, 285},
     .face = kXingkai1425,
     .colour = kDarkCyan},
    {.kind = Kind::TextBox,
     .name = "Datalen",
     .parent = "Frame2",
     .text = u"4",
     .at = {2520, 1200, 1575, 495},
     .face = Typeface{u"MS Sans Serif", 13.5},
     .colour = kDarkGreen,
     .background = Fill::Menu},
    {.kind = Kind::Label,
     .name = "Label1",
     .parent = "Frame2",
     .text = u"当前小车速度值",
     .at = {240, 2400, 2100, 285},
     .face = kXingkai1425,
     .colour = kDarkCyan},
    {.kind = Kind::Label,
     .name = "lblValue",
     .parent = "Frame2",
     .at = {2520, 2280, 1920, 495},
     .face = Typeface{u"Arial Black", 18, QFont::Black},
     .colour = kAlertRed,
     .background = Fill::ActiveCaption,
     .keep = keep<&Form1::lblValue>},

    // Settings.
    {.kind = Kind::Label,
     .name = "Label5",
     .parent = "Frame3",
     .text = u"串口号",
     .at = {120, 720, 900, 285},
     .face = kXingkai1425,
     .colour = kDarkCyan},
    {.kind = Kind::Ports,
     .name = "cmbCOM",
     .parent = "Frame3",
     .at = {1200, 720, 1365, 405},
     .face = Typeface{u"Times New Roman", 12},
     .colour = kGreen,
     .background = Fill::Menu,
     .keep = keep<&Form1::cmbCOM>},
    {.kind = Kind::Label,
     .name = "Label4",
     .parent = "Frame3",
     .text = u"采样间隔",
     .at = {2760, 720, 1200, 285},
     .face = kXingkai1425,
     .colour = kDarkCyan},
    {.kind = Kind::TextBox,
     .name = "delaytime",
     .parent = "Frame3",
     .text = u"10",
     .at = {4200, 720, 855, 375},
     .face = Typeface{u"宋体-PUA", 15.75},
     .colour = kDarkGreen,
     .background = Fill::Menu,
     .keep = keep<&Form1::delaytime>},
    {.kind = Kind::Button,
     .name = "cmdOpenCOM",
     .parent = "Frame3",
     .text = u"打开端口",
     .at = {120, 1680, 1590, 600},
     .face = kSong12,
     .keep = keep<&Form1::cmdOpenCOM>},
    {.kind = Kind::Button,
     .name = "cmdStart",
     .parent = "Frame3",
     .text = u"开始通信",
     .at = {2040, 1680, 1590, 600},
     .face = kSong12,
     .keep = keep<&Form1::cmdStart>},
    {.kind = Kind::Button,
     .name = "cmdEnd",
     .parent = "Frame3",
     .text = u"结束",
     .at = {3960, 1680, 1590, 600},
     .face = kSong12,
     .keep = keep<&Form1::cmdEnd>},
};

namespace {

QWidget* make(const Control& c, QWidget* parent)
{
    const QString text = c.text.toString();
    QWidget* w = nullptr;
    switch (c.kind) {
    case Kind::Frame:
        return frame(parent, c.name, text, c.at);
    case Kind::Button:
        return button(parent, c.name, text, c.at);
    case Kind::Label:
        return label(parent, c.name, text, c.at);
    case Kind::TextBox:
        return textBox(parent, c.name, text, c.at);
    case Kind::CheckBox:
        w = named(new QCheckBox(text, parent), c.name);
        break;
    case Kind::Lamp:
        w = named(new Shape(parent), c.name);
        break;
    case Kind::Ports:
        w = named(new PortBox(parent), c.name);
        break;
    }
    placeTwips(w, c.at);
    return w;
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

    QHash<QByteArray, QWidget*> made;
    for (const Control& c : Form1Layout::controls) {
        QWidget* w = make(c, c.parent ? made.value(c.parent) : client);
        if (c.face)
            w->setFont(face(c.face->family.toString(), c.face->points, c.face->weight));
        const QColor background = fillColour(c.background);
        if (c.colour.isValid() || background.isValid())
            paint(w, c.colour, background);
        if (c.keep)
            c.keep(*this, w);
        made.insert(c.name, w);
    }
    // Frame6 and Frame7 lie over the reserved column of Frame5; keep them on top.
    made.value("Frame6")->raise();
    made.value("Frame7")->raise();

    cmbCOM->setMaxVisibleItems(20);
    cmbCOM->setPort(MSComm1);
    // The banner's face is often missing; a wider substitute must still show the whole title.
    auto* banner = static_cast<QLabel*>(made.value("Label2"));
    QFont font = banner->font();
    while (QFontMetrics(font).horizontalAdvance(banner->text()) > banner->width()
           && font.pointSizeF() > 8)
        font.setPointSizeF(font.pointSizeF() - 0.75);
    banner->setFont(font);
}

void Form1::nameControls()
{
    // A screen reader names a box by the label that stands beside it, as a sighted operator
    // does. Buddies only: the labels have no mnemonic, so nothing on screen changes.
    static constexpr std::pair<const char*, const char*> besides[] = {
        {"Label10", "NewSpeed"}, {"Label11", "ChangeTime"}, {"Label9", "Text3"},
        {"Label3", "MaxSpeed"},  {"Label7", "Datalen"},     {"Label5", "cmbCOM"},
        {"Label4", "delaytime"},
    };
    for (const auto& [label, box] : besides) {
        findChild<QLabel*>(QLatin1String(label))->setBuddy(findChild<QWidget*>(QLatin1String(box)));
    }
    // The raw command box has its frame's caption beside it, and no label.
    command->setAccessibleName(QStringLiteral("串口命令栏"));

    // The parts that change by themselves are named as they stand now; Spoken keeps them so.
    // A name of their own also keeps a label from raising an event for every new text.
    LED1->setAccessibleName(QStringLiteral("报警灯"));
    LED1->setAccessibleDescription(QStringLiteral("灭"));
    makeReading(lblValue);
    lblValue->setAccessibleName(QStringLiteral("当前小车速度值 无读数"));
    describeTrend();
}

} // namespace smartcar
