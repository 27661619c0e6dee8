#include "capturedevices.h"

#include <QCollator>
#include <QDir>
#include <QFile>

namespace {

QString readLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readLine(256)).trimmed();
}

} // namespace

QString findCaptureDevice(const QString &cameraId, const QString &sysfsRoot)
{
    if (cameraId.isEmpty())
        return QString();
    QStringList nodes = QDir(sysfsRoot).entryList({QStringLiteral("video*")},
                                                  QDir::AllEntries | QDir::NoDotAndDotDot);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(nodes.begin(), nodes.end(), numeric);
    for (const QString &node : qAsConst(nodes)) {
        const QString folder = sysfsRoot + QLatin1Char('/') + node;
        const QString index = readLine(folder + QStringLiteral("/index"));
        if (readLine(folder + QStringLiteral("/name")) == cameraId &&
            (index.isEmpty() || index == QLatin1String("0")))
            return QStringLiteral("/dev/") + node;
    }
    return QString();
}
