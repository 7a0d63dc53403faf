#include "console/windows/referencewindow.h"

#include "console/widgets/twips.h"

namespace smartcar {

ReferenceWindow::ReferenceWindow(const char* name, const QString& caption, int clientWidth,
                                 int clientHeight)
    : QWidget(nullptr)
{
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(px(clientWidth), px(clientHeight));
}

} // namespace smartcar
