#include "bench/resident.h"

#include <QFile>
#include <QList>

#include <unistd.h>

namespace smartcar {

double residentMiB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    if (fields.size() < 2)
        return 0;
    return double(fields[1].toLongLong()) * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

} // namespace smartcar
