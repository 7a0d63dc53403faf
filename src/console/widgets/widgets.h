#pragma once

#include "console/widgets/twips.h"

#include <QColor>
#include <QFont>
#include <QString>

class QGroupBox;
class QLabel;
class QPushButton;
class QLineEdit;
class QWidget;

namespace smartcar {

// The pieces every window is built from. Each control takes its place within its parent as a
// rectangle in twips and carries its name as objectName, so tests and tools find it with
// findChild.

// A typeface the window is drawn in, followed by what a machine without it likely has.
QFont face(const QString& family, qreal points, QFont::Weight weight = QFont::Normal);

// Text colour and, when given, a filled background.
void paint(QWidget* w, const QColor& text, const QColor& background = {});

template <typename W>
W* named(W* w, const char* name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QGroupBox* frame(QWidget* parent, const char* name, const QString& caption, const Twips& at);
QPushButton* button(QWidget* parent, const char* name, const QString& caption, const Twips& at);
QPushButton* button(QWidget* parent, const char* name, const QString& caption, const Twips& at,
                    const QFont& font);
// A single line, cut off at its rectangle.
QLabel* label(QWidget* parent, const char* name, const QString& text, const Twips& at);
QLineEdit* textBox(QWidget* parent, const char* name, const QString& text, const Twips& at);

// Lets a label wrap within its width, top-aligned. Where the face at hand needs more lines than
// the height allows, the label grows downwards instead of cutting off the last line. Call it
// once the label has its final font.
QLabel* wrapDownward(QLabel* label);

} // namespace smartcar
