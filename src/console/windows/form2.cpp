#include "console/windows/form2.h"

#include "console/widgets/widgets.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace smartcar {

Form2::Form2()
    : ReferenceWindow("Form2", QStringLiteral("Form2"), 10860, 6405)
{
    auto* Frame1 = frame(this, "Frame1", {}, {0, 0, 10815, 6375});

    // Top to bottom; the numbering of the notes, not of the labels, gives the order.
    wrapDownward(label(Frame1, "Label1",
                       QStringLiteral("一、连接蓝牙主机适配器，"
                                      "检查串口号选择对应的串口。"),
                       {240, 240, 5535, 255}));
    wrapDownward(label(Frame1, "Label2",
                       QStringLiteral("二、按你的需要选择采样间隔，默认为10ms。"
                                      "若需要修改请与硬件的采样频率对应。"),
                       {240, 1080, 7335, 495}));
    wrapDownward(label(Frame1, "Label4",
                       QStringLiteral("三、根据需要选择是否使能超声波测距，"
                                      "若选择则STC单片机一执行测距的控制量为主来控制车速。"),
                       {240, 1920, 7695, 375}));
    wrapDownward(label(Frame1, "Label3",
                       QStringLiteral("四、控制区域填写速度值以及转向时间参数，"
                                      "当转向对应时间后自动归中，"
                                      "同时前进后退以及停车就是单纯的控制命令。"),
                       {240, 2880, 9255, 735}));
    wrapDownward(label(Frame1, "Label5",
                       QStringLiteral("五、串口命令栏可自定义你所需要发送到下位机的命令，"
                                      "由于发送的是Byte故你需要参考串口数据对照表"
                                      "在打开菜单栏下查阅。"),
                       {240, 4080, 9735, 615}));
    wrapDownward(label(Frame1, "Label6",
                       QStringLiteral("六、接收数据长度栏是对应您的硬件要求"
                                      "即你的下位机发送几位数据您就对应设定几位，"
                                      "系统默认为4位。可根据需要修改。"),
                       {240, 5040, 10095, 495}));

    auto* Command1 = button(Frame1, "Command1", QStringLiteral("确定"), {9240, 5640, 1215, 495});
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
}

void Form2::Command1_Click()
{
    close();
}

} // namespace smartcar
