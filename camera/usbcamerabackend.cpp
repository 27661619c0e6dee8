#include "usbcamerabackend.h"

#include "v4l2backend.h"

UsbCameraBackend *UsbCameraBackend::system()
{
    static V4l2Backend backend(V4l2DeviceIo::system());
    return &backend;
}

QStringList UsbCameraBackend::deviceNames()
{
    return system()->listDevices();
}

QString UsbCameraBackend::systemDevicePath(const QString &id)
{
    return system()->devicePath(id);
}

QStringList uniqueUsbCameraIds(const QStringList &cardNames)
{
    QStringList ids;
    ids.reserve(cardNames.size());
    for (const QString &card : cardNames) {
        QString base = card.trimmed();
        for (QChar &c : base) {
            if (c == QLatin1Char('/') || c == QLatin1Char('\\') || !c.isPrint())
                c = QLatin1Char('_');
        }
        if (base.isEmpty())
            base = QStringLiteral("USB Camera");
        QString id = base;
        for (int n = 2; ids.contains(id); ++n)
            id = base + QStringLiteral(" (%1)").arg(n);
        ids << id;
    }
    return ids;
}
