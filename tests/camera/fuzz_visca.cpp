// libFuzzer target for the VISCA reply assembler, the reply parser and the
// inquiry link with its resynchronisation state.
//
// Input: a script of operations, each an opcode byte (value mod 6) and its
// operands:
//   0 k      queue an inquiry of kind k mod 16 (out-of-range kinds included)
//   1        send the next inquiry if the link allows it
//   2        the in-flight inquiry timed out
//   3        the line was quiet: leave resynchronisation
//   4 n b... a chunk of n camera bytes through the assembler into the link
//   5        forget everything (connection lost)

#include "visca.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxQueued = 4;

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void handleFrame(Visca::InquiryLink &link, const QByteArray &frame, CameraStatus &status)
{
    // Every 0xFF closes a frame.
    check(frame.size() >= 2 && frame.size() <= Visca::kMaxFrameLength);
    check(uint8_t(frame.front()) == 0x90 && frame.indexOf('\xFF') == frame.size() - 1);
    const CameraStatus before = status; // bytes only: its raw bytes are its value
    const bool attributable = !link.resyncing() && link.inFlight();
    const int queued = link.queued();
    const Visca::InquiryLink::Outcome out = link.onFrame(frame, status);
    // Nothing is stored or answered unless an inquiry is in flight and the
    // line is in step; an answer takes exactly the head off the queue.
    check(attributable || (std::memcmp(&before, &status, sizeof status) == 0 && !out.answered));
    check(!out.answered || (link.queued() == queued - 1 && !link.inFlight()));
    check(!out.effect.misfit || !attributable || link.resyncing());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Visca::ReplyAssembler assembler;
    Visca::InquiryLink link(kMaxQueued);
    CameraStatus status;
    QVector<QByteArray> frames;
    Visca::CameraCommand command;
    for (size_t at = 0; at < size;) {
        const int op = data[at++] % 6;
        if (op == 0 && at < size) {
            const bool hadRoom = link.queued() < kMaxQueued;
            check(link.enqueue(data[at++] % 16) == hadRoom);
        } else if (op == 1) {
            const bool blocked = link.inFlight() || link.resyncing() || link.queued() == 0;
            check(link.takeNextToSend(command) == !blocked);
        } else if (op == 2) {
            const bool inFlight = link.inFlight();
            check(link.inquiryTimedOut() == inFlight);
        } else if (op == 3) {
            link.quietElapsed();
        } else if (op == 4 && at < size) {
            const size_t wanted = data[at++];
            const size_t n = qMin(wanted, size - at);
            frames.clear();
            assembler.feed(reinterpret_cast<const char *>(data + at), int(n), frames);
            at += n;
            for (const QByteArray &frame : frames)
                handleFrame(link, frame, status);
        } else if (op == 5) {
            link.clear();
            assembler.reset();
            check(link.queued() == 0 && !link.inFlight() && !link.resyncing());
        }
        check(link.queued() <= kMaxQueued);
        check(!link.inFlight() || link.queued() > 0);
    }
    return 0;
}
