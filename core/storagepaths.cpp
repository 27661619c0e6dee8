#include "storagepaths.h"

#include <QStandardPaths>

namespace Storage {

QString appDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString userFolder()
{
    return appDataFolder() + QStringLiteral("/corvanta-controller");
}

QString downloadsFolder()
{
    return userFolder() + QStringLiteral("/downloads");
}

QString snapshotPath(const QString &cameraId, int presetNum)
{
    // Camera ids arrive from settings files and the web API. An address or
    // host name never holds a path separator or NUL, so replacing them keeps
    // every real file name unchanged while no id can lead out of downloads/.
    QString id = cameraId;
    for (QChar &c : id) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.isNull())
            c = QLatin1Char('_');
    }
    return downloadsFolder() + QStringLiteral("/snapshot_") + id + QString::number(presetNum) +
           QStringLiteral(".jpg");
}

} // namespace Storage
