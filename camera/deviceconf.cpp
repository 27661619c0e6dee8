#include "deviceconf.h"

#include <QStringList>

namespace DeviceConf {

void parse(const QByteArray &body, QString *deviceName, QString *serialNumber)
{
    const QStringList lines = QString::fromUtf8(body).split(QLatin1Char('\n'));
    auto valueOf = [](const QString &line, QString *field) {
        const QStringList parts = line.split(QLatin1Char('='));
        if (parts.size() > 1)
            *field = QString(parts.at(1)).remove(QLatin1Char('"'));
    };
    if (!lines.isEmpty())
        valueOf(lines.at(0), deviceName);
    if (lines.size() >= 6)
        valueOf(lines.at(5), serialNumber);
}

} // namespace DeviceConf
