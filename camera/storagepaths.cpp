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
    return appDataFolder() + QStringLiteral("/corvanta-controller/downloads");
}

QString snapshotPath(const QString &cameraId, int presetNum)
{
    return appDataFolder() + QStringLiteral("/corvanta-controller/downloads/snapshot_") + cameraId +
           QString::number(presetNum) + QStringLiteral(".jpg");
}

} // namespace Storage
