#include "console/errorreport.h"

#include "common/failure.h"

namespace smartcar {

namespace {
MessageSink& sink()
{
    static MessageSink s;
    return s;
}
} // namespace

MessageSink setMessageSink(MessageSink newSink)
{
    MessageSink old = std::move(sink());
    sink() = std::move(newSink);
    return old;
}

QString systemMessageTitle()
{
    return QStringLiteral("系统信息");
}

void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                 const QString& text, const QString& informativeText)
{
    if (sink()) {
        sink()({icon, title, text, informativeText});
        return;
    }
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.setInformativeText(informativeText);
    box.exec();
}

void reportFailure(QWidget* parent, const Failure& failure)
{
    showMessage(parent, QMessageBox::Critical, systemMessageTitle(), failure.describe());
}

void reportUnexpected(QWidget* parent, const QString& what)
{
    showMessage(parent, QMessageBox::Critical, systemMessageTitle(),
                QStringLiteral("内部错误：%1").arg(what));
}

} // namespace smartcar
