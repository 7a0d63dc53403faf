#include "console/referencewindow.h"

#include "console/twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

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

QGroupBox* ReferenceWindow::addFrame(QWidget* parent, const char* name, const QString& caption,
                                     int left, int top, int width, int height)
{
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(QString::fromLatin1(name));
    placeTwips(frame, left, top, width, height);
    return frame;
}

QLabel* ReferenceWindow::addLabel(QWidget* parent, const char* name, const QString& text,
                                  int left, int top, int width, int height, const QFont* font)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    if (font)
        label->setFont(*font);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeTwips(label, left, top, width, height);
    const int needed = label->heightForWidth(label->width());
    if (needed > label->height())
        label->resize(label->width(), needed);
    return label;
}

QPushButton* ReferenceWindow::addButton(QWidget* parent, const char* name,
                                        const QString& caption, int left, int top, int width,
                                        int height)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    placeTwips(button, left, top, width, height);
    return button;
}

} // namespace smartcar
