// libFuzzer target: the vMix status document parser (instrumented). A parsed
// status must respect the input bound and carry finite master volume.
#include "vmixprotocol.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const std::optional<VMixStatus> status = VMixProtocol::parseStatus(body);
    if (status &&
        (status->inputs.size() > VMixProtocol::kMaxInputs || !std::isfinite(status->masterVolume)))
        std::abort();
    return 0;
}
