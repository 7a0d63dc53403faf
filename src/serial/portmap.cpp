#include "serial/portmap.h"

#include <QtGlobal>

namespace smartcar {

namespace {
constexpr int kListedPorts = 20;
constexpr int kOpenablePorts = 17;
} // namespace

QStringList portListTexts()
{
    QStringList texts;
    for (int n = 1; n <= kListedPorts; ++n) {
        QString text = QStringLiteral("COM%1").arg(n);
        if (n == 3 || n == 4)
            text += QStringLiteral("(USB)");
        texts << text;
    }
    return texts;
}

bool isOpenableIndex(int index)
{
    return index >= 0 && index < kOpenablePorts;
}

QString deviceForPort(int portNumber)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNumber);
#else
    const QByteArray name = "SMARTCAR_COM" + QByteArray::number(portNumber);
    const QString mapped = qEnvironmentVariable(name.constData());
    if (!mapped.isEmpty())
        return mapped;
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

} // namespace smartcar
