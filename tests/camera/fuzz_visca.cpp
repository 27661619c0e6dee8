// libFuzzer target for the VISCA reply assembler and parser.
// Input: byte 0 the current inquiry kind, byte 1 the chunk size the stream is
// cut into (0: one chunk), the rest the byte stream from the camera.

#include "visca.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int kind = data[0] % 16;
    const size_t chunk = data[1];
    const char *stream = reinterpret_cast<const char *>(data + 2);
    const int length = static_cast<int>(size - 2);

    Visca::ReplyAssembler assembler;
    CameraStatus status;
    QVector<QByteArray> frames;
    for (int at = 0; at < length;) {
        const int n = chunk == 0 ? length : qMin(int(chunk), length - at);
        assembler.feed(stream + at, n, frames);
        at += n;
    }
    for (const QByteArray &frame : frames) {
        if (frame.size() < 2 || frame.size() > Visca::kMaxFrameLength ||
            static_cast<uint8_t>(frame.front()) != 0x90 ||
            static_cast<uint8_t>(frame.back()) != 0xFF)
            std::abort();
        const Visca::ReplyEffect effect = Visca::parseReply(frame, kind, status);
        if (effect.error && effect.statusUpdated)
            std::abort();
        if (effect.readOneCycle && kind != Visca::WbMode)
            std::abort();
    }
    return 0;
}
