#include "exposuretables.h"

namespace ExposureTables {

const QStringList &aeModeNames()
{
    static const QStringList names = {QStringLiteral("Auto"), QStringLiteral("Manual"),
                                      QStringLiteral("SAE"), QStringLiteral("AAE"),
                                      QStringLiteral("Brightness")};
    return names;
}

const QStringList &irisNames()
{
    static const QStringList names = {
        QStringLiteral("Close"), QStringLiteral("F11.0"), QStringLiteral("F9.6"),
        QStringLiteral("F8.0"),  QStringLiteral("F6.8"),  QStringLiteral("F5.6"),
        QStringLiteral("F4.8"),  QStringLiteral("F4.0"),  QStringLiteral("F3.4"),
        QStringLiteral("F2.8"),  QStringLiteral("F2.4"),  QStringLiteral("F2.0"),
        QStringLiteral("F1.8")};
    return names;
}

const QStringList &shutterNames()
{
    static const QStringList names = {
        QStringLiteral("1/30"),   QStringLiteral("1/60"),   QStringLiteral("1/90"),
        QStringLiteral("1/100"),  QStringLiteral("1/125"),  QStringLiteral("1/180"),
        QStringLiteral("1/250"),  QStringLiteral("1/350"),  QStringLiteral("1/500"),
        QStringLiteral("1/725"),  QStringLiteral("1/1000"), QStringLiteral("1/1500"),
        QStringLiteral("1/2000"), QStringLiteral("1/3000"), QStringLiteral("1/4000"),
        QStringLiteral("1/6000"), QStringLiteral("1/10000")};
    return names;
}

const QStringList &brightNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (int i = 0; i < kBrightCount; ++i)
            list << QString::number(i);
        return list;
    }();
    return names;
}

const QStringList &wbModeNames()
{
    static const QStringList names = {QStringLiteral("Auto"), QStringLiteral("Indoor"),
                                      QStringLiteral("Outdoor"), QStringLiteral("OnePush"),
                                      QStringLiteral("Manual")};
    return names;
}

int aeModeIndexFromByte(int cameraByte)
{
    switch (cameraByte) {
    case 0x00:
        return AeAuto;
    case 0x03:
        return AeManual;
    case 0x0A:
        return AeShutterPriority;
    case 0x0B:
        return AeIrisPriority;
    case 0x0D:
        return AeBrightness;
    default:
        return -1;
    }
}

int wbIndexFromByte(int cameraByte)
{
    if (cameraByte >= 0x00 && cameraByte <= 0x03)
        return cameraByte;
    if (cameraByte == 0x05)
        return 4;
    return -1;
}

int shutterIndexFromValue(int cameraValue)
{
    if (cameraValue < 1 || cameraValue > kShutterCount)
        return -1;
    return cameraValue - 1;
}

int irisIndexFromValue(int cameraValue)
{
    if (cameraValue < 0 || cameraValue >= kIrisCount)
        return -1;
    return cameraValue;
}

QString irisStatusText(int cameraValue)
{
    const int index = irisIndexFromValue(cameraValue);
    return QStringLiteral("Iris:") +
           (index >= 0 ? irisNames().at(index) : QString::number(cameraValue));
}

QString shutterStatusText(int cameraValue)
{
    const int index = shutterIndexFromValue(cameraValue);
    return QStringLiteral("Shutter:") +
           (index >= 0 ? shutterNames().at(index) : QString::number(cameraValue));
}

QString brightStatusText(int cameraValue)
{
    return QStringLiteral("Bright:") + QString::number(cameraValue);
}

} // namespace ExposureTables
