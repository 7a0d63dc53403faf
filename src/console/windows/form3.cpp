#include "console/windows/form3.h"

#include "console/helpdocument.h"
#include "console/widgets/widgets.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace smartcar {

Form3::Form3()
    : ReferenceWindow("Form3", QStringLiteral("技术支持"), 5535, 1965)
{
    auto* Frame1 = frame(this, "Frame1", {}, {0, 0, 5535, 1935});

    const QFont font = face(QStringLiteral("MS Sans Serif"), 9.75);
    auto* Label1 = label(Frame1, "Label1", QStringLiteral("Copyright © smartcar-console 开发者"),
                         {480, 360, 4215, 375});
    auto* Label2 = label(Frame1, "Label2",
                         QStringLiteral("版本 " PROJECT_VERSION "，帮助见：\n")
                             + helpDocumentPath(),
                         {480, 1080, 3375, 375});
    for (QLabel* l : {Label1, Label2}) {
        l->setFont(font);
        wrapDownward(l);
    }

    auto* Command1 = button(Frame1, "Command1", QStringLiteral("返回"), {4200, 1200, 975, 495});
    connect(Command1, &QPushButton::clicked, this, &Form3::Command1_Click);
}

void Form3::Command1_Click()
{
    close();
}

} // namespace smartcar
