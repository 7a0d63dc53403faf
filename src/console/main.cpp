#include "console/form1.h"
#include "console/signalending.h"

#include <QApplication>
#include <QPointer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("smartcar-console"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));

    auto* form = new smartcar::Form1;
    const smartcar::SignalEnding signalEnding(form);
    form->show();
    const int code = QApplication::exec();

    // Windows still alive here were hidden by the end button or wait for a deferred delete.
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->parentWidget())
            windows << w;
    }
    for (const QPointer<QWidget>& w : windows)
        delete w.data();
    return code;
}
