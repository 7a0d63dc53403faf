#pragma once

#include <QWidget>

class QFont;
class QGroupBox;
class QLabel;
class QPushButton;

namespace smartcar {

// Base of the three windows of fixed reference text reached from the main window's menu.
// Created without a parent, such a window has no owner: it stays open when the main window
// goes and counts for the program's end like any other top-level window. It deletes itself
// when closed, so each showing builds it afresh.
class ReferenceWindow : public QWidget
{
    Q_OBJECT
protected:
    // The client area is fixed in twips; the controls are placed absolutely inside it.
    ReferenceWindow(const char* name, const QString& caption, int clientWidth,
                    int clientHeight);

    QGroupBox* addFrame(QWidget* parent, const char* name, const QString& caption, int left,
                        int top, int width, int height);
    // A label wraps within its width. Where the face at hand needs more lines than the
    // height allows, the label grows downwards instead of cutting off the last line.
    QLabel* addLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                     int width, int height, const QFont* font = nullptr);
    QPushButton* addButton(QWidget* parent, const char* name, const QString& caption, int left,
                           int top, int width, int height);
};

} // namespace smartcar
