// libFuzzer target: the parser of the camera's device-configuration reply.
// Fields never carry a quote or a line break and are never longer than the
// reply.
#include "deviceconf.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString name, serial;
    DeviceConf::parse(QByteArray(reinterpret_cast<const char *>(data), int(size)), &name, &serial);
    for (const QString &field : {name, serial})
        if (field.contains(QLatin1Char('"')) || field.contains(QLatin1Char('\n')) ||
            field.size() > int(size))
            std::abort();
    return 0;
}
