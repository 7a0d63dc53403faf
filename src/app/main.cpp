#include "app/ending.h"
#include "app/qttranslations.h"
#include "common/endingsignals.h"
#include "console/form1.h"

#include <QApplication>
#include <QIcon>
#include <QPointer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("smartcar-console"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    // The desktop entry's name: on Wayland the compositor matches the window to its entry, and
    // so to the menu's icon, by this id.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.smartcar_console.SmartcarConsole"));
    // Before any window exists: Qt's words are translated as its widgets are made.
    smartcar::installQtTranslations(&app);

    // Every window the program shows takes this icon, the reference windows included.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icon/%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);

    auto* form = new smartcar::Form1;
    const smartcar::EndingSignals endingSignals;
    smartcar::endOnSignals(endingSignals, form);
    form->show();
    // smartcar-console FILE: the recording FILE in the 回放 window, beside the main one.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        form->openReplay(arguments.at(1));
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
