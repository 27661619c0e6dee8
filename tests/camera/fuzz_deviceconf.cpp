// libFuzzer target: the parser of the camera's device-configuration reply.
// Fields never carry a quote or a line break and are never longer than the
// reply.
#include "deviceconf.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), static_cast<int>(size));
    QString name = QStringLiteral("0.0.0.0");
    QString serial = QStringLiteral("xx00000000");
    DeviceConf::parse(body, &name, &serial);
    for (const QString &field : {name, serial}) {
        if (field.contains(QLatin1Char('"')) || field.contains(QLatin1Char('\n')) ||
            (field.size() > int(size) && field != QLatin1String("0.0.0.0") &&
             field != QLatin1String("xx00000000")))
            std::abort();
    }
    return 0;
}
