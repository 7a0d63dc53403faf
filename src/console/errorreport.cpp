#include "console/errorreport.h"

#include "common/failure.h"
#include "console/brakepass.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

namespace smartcar {

namespace {
MessageSink& sink()
{
    static MessageSink s;
    return s;
}

// The box on screen, if any. It is never waited on: the handler that raised it returns at
// once, so a poll tick or a turn inside which a failure happened goes on with the box up.
QPointer<QMessageBox>& shownBox()
{
    static QPointer<QMessageBox> box;
    return box;
}

quint64& messageCount()
{
    static quint64 count = 0;
    return count;
}

// Keeps the rest of the console from taking input while a box is up, as a modal box would,
// so that no frame goes out whose failure the operator could not see. It is not Qt's own
// modality, because that drops the blocked windows' input before anyone can look at it, the
// brake's with the rest: Esc anywhere (taken by the driving keys) and the mouse on a control
// marked reachable (the brake button) get through. Popup windows (an open menu or list) keep
// their input, as they do under a modal box, so that they can close.
class BoxGuard : public QObject
{
public:
    explicit BoxGuard(QMessageBox* box)
        : QObject(box)
        , m_box(box)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!isOperatorInput(event))
            return false;
        if (qobject_cast<QAction*>(watched))
            return event->type() == QEvent::Shortcut;
        if (!watched->isWidgetType())
            return false;
        QWidget* window = static_cast<QWidget*>(watched)->window();
        if (window == m_box || window->windowType() == Qt::Popup || isBrakeInput(watched, event))
            return false;
        // The window manager's close box; the program's own ending still closes windows.
        if (event->type() == QEvent::Close)
            return event->spontaneous();
        return true;
    }

private:
    QMessageBox* m_box;
};

void fill(QMessageBox& box, const ShownMessage& message)
{
    box.setIcon(message.icon);
    box.setWindowTitle(message.title);
    box.setText(message.text);
    box.setInformativeText(message.informativeText);
    // The texts carry names from outside (a device path, a process name, the system's words),
    // which Qt would take for markup if they looked like it: shown as written. They can be
    // selected with the mouse and copied (Ctrl+C) into a question to a teacher; neither
    // changes how the box looks.
    for (QLabel* label : box.findChildren<QLabel*>()) {
        if (label->objectName() == QLatin1String("qt_msgbox_label")
            || label->objectName() == QLatin1String("qt_msgbox_informativelabel")) {
            label->setTextFormat(Qt::PlainText);
            label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        }
    }
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

MessageWatch& messageWatch()
{
    static MessageWatch watch;
    return watch;
}

namespace {
bool& confirmAnswer()
{
    static bool yes = true;
    return yes;
}
} // namespace

void setConfirmAnswer(bool yes)
{
    confirmAnswer() = yes;
}

void askToConfirm(QWidget* parent, const QString& title, const QString& text, const QString& yes,
                  const QString& no, std::function<void(bool)> answered)
{
    const ShownMessage message{QMessageBox::Question, title, text, {}};
    ++messageCount();
    emit messageWatch().shown();
    if (sink()) {
        sink()(message);
        answered(confirmAnswer());
        return;
    }
    auto* box = new QMessageBox(parent);
    fill(*box, message);
    QPushButton* yesButton = box->addButton(yes, QMessageBox::AcceptRole);
    QPushButton* noButton = box->addButton(no, QMessageBox::RejectRole);
    box->setDefaultButton(noButton);
    box->setEscapeButton(noButton);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    qApp->installEventFilter(new BoxGuard(box));
    QObject::connect(box, &QMessageBox::finished, box,
                     [box, yesButton, answered] { answered(box->clickedButton() == yesButton); });
    box->show();
}

void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                 const QString& informativeText)
{
    const ShownMessage message{icon, title, text, informativeText};
    ++messageCount();
    emit messageWatch().shown();
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
    // Not modal to Qt: BoxGuard blocks the rest of the console instead, all but the brake.
    box->setWindowModality(Qt::NonModal);
    qApp->installEventFilter(new BoxGuard(box));
    shownBox() = box;
    box->show();
}

QWidget* shownMessageBox()
{
    return shownBox();
}

quint64 messagesShown()
{
    return messageCount();
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
