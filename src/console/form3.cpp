#include "console/form3.h"

#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace smartcar {

namespace {

// "MS Sans Serif" first, then what a machine without it likely has.
QFont sansSerif975()
{
    QFont f;
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                   QStringLiteral("DejaVu Sans")});
    f.setPointSizeF(9.75);
    return f;
}

} // namespace

Form3::Form3()
    : ReferenceWindow("Form3", QStringLiteral("技术支持"), 5535, 1965)
{
    Frame1 = addFrame(this, "Frame1", {}, 0, 0, 5535, 1935);

    const QFont font = sansSerif975();
    Label1 = addLabel(Frame1, "Label1", QStringLiteral("Copyright © smartcar-console 开发者"), 480,
                      360, 4215, 375, &font);
    Label2 = addLabel(Frame1, "Label2",
                      QStringLiteral("smartcar-console " PROJECT_VERSION
                                     "，帮助见 README 的“故障排除”一节"),
                      480, 1080, 3375, 375, &font);

    Command1 = addButton(Frame1, "Command1", QStringLiteral("返回"), 4200, 1200, 975, 495);
    connect(Command1, &QPushButton::clicked, this, &Form3::Command1_Click);
}

void Form3::Command1_Click()
{
    close();
}

} // namespace smartcar
