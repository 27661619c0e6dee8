#include "applog.h"

#include "storagepaths.h"

#include <QFile>

namespace AppLog {

QString connectedLine()
{
    return QString(35, QLatin1Char('-')) + QStringLiteral("Connected") +
           QString(36, QLatin1Char('-'));
}

QString disconnectedLine()
{
    return QString(35, QLatin1Char('-')) + QStringLiteral("Disconnected") +
           QString(36, QLatin1Char('-'));
}

bool append(const QString &line)
{
    QFile file(Storage::userFolder() + QStringLiteral("/app.log"));
    if (!file.open(QIODevice::Append))
        return false;
    file.write((line + QLatin1Char('\n')).toUtf8());
    file.flush();
    file.close();
    return true;
}

} // namespace AppLog
