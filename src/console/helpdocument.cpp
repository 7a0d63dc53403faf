#include "console/helpdocument.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace smartcar {

namespace {
const QString kReadme = QStringLiteral("README.zh-CN.md");
}

QString helpDocumentPath()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    const QString beside = programDir + QLatin1Char('/') + kReadme;
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(beside);
#else
    // One plain string in the program, so that a package check can find it there.
    const QString installed = QString::fromUtf8(SMARTCAR_DOC_DIR "/README.zh-CN.md");
    // An installation moved to another prefix keeps the same layout below it.
    const QString relocated = QDir::cleanPath(programDir + QStringLiteral("/../share/doc/")
                                              + QStringLiteral(SMARTCAR_PACKAGE_NAME "/")
                                              + kReadme);
    // Run from a build folder in the source tree (scripts/test, scripts/demo), the source's
    // own README is the one there is.
    const QString sourceTree = QDir::cleanPath(programDir + QStringLiteral("/../../") + kReadme);
    for (const QString& candidate : {installed, relocated, beside, sourceTree}) {
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    // Nowhere to be found: the document by its name, never a path to nothing.
    return kReadme;
#endif
}

} // namespace smartcar
