#include "console/errorreport.h"

#include "common/failure.h"

#include <QPointer>

namespace smartcar {

namespace {
MessageSink& sink()
{
    static MessageSink s;
    return s;
}

// The box on screen, if any. It is modal but never waited on: the handler that raised it
// returns at once, so a poll tick or a turn inside which a failure happened goes on with the
// box up.
QPointer<QMessageBox>& shownBox()
{
    static QPointer<QMessageBox> box;
    return box;
}

void fill(QMessageBox& box, const ShownMessage& message)
{
    box.setIcon(message.icon);
    box.setWindowTitle(message.title);
    box.setText(message.text);
    box.setInformativeText(message.informativeText);
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

void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                 const QString& informativeText)
{
    const ShownMessage message{icon, title, text, informativeText};
    if (sink()) {
        sink()(message);
        return;
    }
    // A failure that repeats (a button pressed again and again, every tick of a poll) must
    // not pile boxes up: the one already shown takes the newest message instead.
    if (QMessageBox* box = shownBox()) {
        fill(*box, message);
        box->raise();
        box->activateWindow();
        return;
    }
    auto* box = new QMessageBox(parent);
    fill(*box, message);
    box->setStandardButtons(QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    shownBox() = box;
    box->show();
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
