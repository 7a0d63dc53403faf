#include "app/qttranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace smartcar {

bool installQtTranslations(QObject* owner)
{
    const QStringList folders{
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
        QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
    };
    bool base = false;
    // The serial port's catalogue words the rare open failure that is given in Qt's own words.
    for (const QString& catalogue : {QStringLiteral("qtbase"), QStringLiteral("qtserialport")}) {
        auto* translator = new QTranslator(owner);
        bool loaded = false;
        for (const QString& folder : folders) {
            loaded = translator->load(catalogue + QStringLiteral("_zh_CN"), folder);
            if (loaded)
                break;
        }
        if (!loaded || !QCoreApplication::installTranslator(translator)) {
            delete translator;
            continue;
        }
        base = base || catalogue == QLatin1String("qtbase");
    }
    return base;
}

} // namespace smartcar
