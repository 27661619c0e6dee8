#pragma once

#include <QDir>
#include <QList>
#include <QSettings>
#include <QString>

// One entry of the camera list in settings.ini; type 0 is a network camera,
// 1 a USB camera.
struct StoredCamera
{
    int type;
    QString id;
    QString name;
    QString device;
};

// Writes `cameras` as the camera list an earlier run of the program `appName`
// would have left in its data folder below `dataHome` (XDG_DATA_HOME), before
// the application object reads it. Returns that data folder.
inline QString storeCameraList(const QString &dataHome, const QString &appName,
                               const QList<StoredCamera> &cameras)
{
    const QString folder = dataHome + QLatin1Char('/') + appName + "/corvanta-controller";
    QDir().mkpath(folder);
    QSettings raw(folder + "/settings.ini", QSettings::IniFormat);
    raw.beginWriteArray("cameraslist");
    for (int i = 0; i < cameras.size(); ++i) {
        raw.setArrayIndex(i);
        raw.setValue("cameratype", cameras[i].type);
        raw.setValue("cameraid", cameras[i].id);
        raw.setValue("cameraname", cameras[i].name);
        raw.setValue("devicename", cameras[i].device);
    }
    raw.endArray();
    return folder;
}
