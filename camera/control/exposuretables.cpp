#include "exposuretables.h"

#include "visca.h"

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

namespace {

// The list index whose command byte is cameraByte; -1 when none of the first
// count indices has it.
int indexOfByte(uint8_t (*byteOf)(int), int count, int cameraByte)
{
    for (int index = 0; index < count; ++index)
        if (byteOf(index) == cameraByte)
            return index;
    return -1;
}

} // namespace

int aeModeIndexFromByte(int cameraByte)
{
    return indexOfByte(Visca::aeModeByte, kAeModeCount, cameraByte);
}

int wbIndexFromByte(int cameraByte)
{
    return indexOfByte(Visca::wbModeByte, kWbModeCount, cameraByte);
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
