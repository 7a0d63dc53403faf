#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

namespace smartcar {

class Failure;

// Every message box of the console goes through here, so that a test can record the boxes
// instead of showing them.
struct ShownMessage
{
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QString informativeText; // the smaller lines under the text; empty for none
};
using MessageSink = std::function<void(const ShownMessage&)>;

// Replaces the real boxes with `sink` (an empty function restores them). Returns the old one.
MessageSink setMessageSink(MessageSink sink);

// A box with a single OK button. It returns at once, leaving the box up until the operator
// dismisses it; while it is up, a further message replaces its text rather than opening a
// second box. While it is up the rest of the console takes no input, except the brake's
// (brakepass.h).
void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                 const QString& informativeText = QString());

// A question with two buttons, asked in a box like showMessage's (the brake still works while
// it is up; Esc brakes and answers `no`). `answered` gets true for `yes`. With a sink set the
// sink gets the question and it is answered at once with confirmAnswer().
void askToConfirm(QWidget* parent, const QString& title, const QString& text, const QString& yes,
                  const QString& no, std::function<void(bool)> answered);
// The answer a sink gives; true unless set (tests).
void setConfirmAnswer(bool yes);

// Says when any box of the console comes up, the questions included.
class MessageWatch : public QObject
{
    Q_OBJECT
signals:
    void shown();
};
MessageWatch& messageWatch();

// The box on screen, or null.
QWidget* shownMessageBox();
// How many messages have been shown (or recorded) so far; tells whether a step raised one.
quint64 messagesShown();

// The title every box of the console carries.
QString systemMessageTitle();

// The general error report: one box naming what failed, after which the console carries on.
void reportFailure(QWidget* parent, const Failure& failure);
void reportUnexpected(QWidget* parent, const QString& what);

} // namespace smartcar
