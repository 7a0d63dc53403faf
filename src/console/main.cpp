#include "console/form1.h"
#include "console/signalending.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("smartcar-console"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    // The desktop entry's name: on Wayland the compositor matches the window to its entry, and
    // so to the menu's icon, by this id.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.smartcar_console.SmartcarConsole"));

    // Qt's own texts (the message boxes' buttons, a text box's context menu) in Chinese like
    // the rest, where Qt's translations are installed (beside the program on Windows).
    const QString translations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* catalog : {"qtbase", "qtserialport"}) {
        auto* texts = new QTranslator(&app);
        if (texts->load(QLocale(QLocale::Chinese, QLocale::China), QLatin1String(catalog),
                        QStringLiteral("_"), translations))
            QApplication::installTranslator(texts);
    }

    // Every window the program shows takes this icon, the reference windows included.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icon/%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);

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
