#pragma once

#include <QString>

// Locations of the per-user files. Every path is built from the writable
// AppDataLocation of QStandardPaths; nothing here touches the disk.
namespace Storage {

// The writable application-data folder (no trailing slash).
QString appDataFolder();

// appDataFolder() + "/corvanta-controller": settings.ini, app.log, downloads/.
QString userFolder();

// userFolder() + "/downloads".
QString downloadsFolder();

// Preset thumbnail of a camera: downloads folder + "/snapshot_" + cameraId +
// presetNum (decimal) + ".jpg", with nothing between id and number
// (camera "192.168.1.88", preset 5 -> "snapshot_192.168.1.885.jpg").
// "/", "\\" and NUL in the id become "_", so the file always lies in downloads/.
QString snapshotPath(const QString &cameraId, int presetNum);

} // namespace Storage
