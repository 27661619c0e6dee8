// libFuzzer target: the camera list of "/cam/saveSettings" (the text of its
// camList query value) through the handler's parser, JSON parser included.
// An accepted list always has exactly the eight slots.
#include "cameraapihandler.h"
#include "cameracontrol.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<int>(size));
    QList<CameraApiHandler::Entry> entries;
    const bool ok = CameraApiHandler::parseCameraList(text, &entries);
    if (ok != (entries.size() == CameraControl::kCameraSlots))
        std::abort();
    return 0;
}
