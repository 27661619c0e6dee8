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

// CameraStatus holds bytes only: its raw bytes are its value.
bool sameStatus(const CameraStatus &a, const CameraStatus &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

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
    const CameraStatus before = status;
    const bool resyncing = link.resyncing();
    const bool inFlight = link.inFlight();
    const int kind = link.currentKind();
    const int queued = link.queued();

    const Visca::InquiryLink::Outcome out = link.onFrame(frame, status);
    const Visca::ReplyEffect &e = out.effect;
    check(!(e.error && e.statusUpdated));
    if (resyncing || !inFlight || e.commandReply) {
        // Nothing is attributed: no value stored, the queue untouched.
        check(sameStatus(before, status));
        check(link.queued() == queued && !out.answered && !e.readOneCycle);
        check(!resyncing || (!e.statusUpdated && link.resyncing()));
        return;
    }
    if (!sameStatus(before, status))
        check(Visca::fitsInquiry(frame, kind) && out.answered);
    if (e.readOneCycle)
        check(kind == Visca::WbMode && out.answered);
    if (out.answered)
        check(link.queued() == queued - 1 && !link.inFlight());
    if (e.misfit)
        check(link.resyncing() && out.restartQuiet && sameStatus(before, status));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Visca::ReplyAssembler assembler;
    Visca::InquiryLink link(kMaxQueued);
    CameraStatus status;
    QVector<QByteArray> frames;
    size_t at = 0;
    while (at < size) {
        const int op = data[at++] % 6;
        switch (op) {
        case 0:
            if (at < size) {
                const bool hadRoom = link.queued() < kMaxQueued;
                check(link.enqueue(data[at++] % 16) == hadRoom);
            }
            break;
        case 1: {
            Visca::CameraCommand command;
            const bool blocked = link.inFlight() || link.resyncing() || link.queued() == 0;
            const bool sent = link.takeNextToSend(command);
            check(sent == !blocked);
            if (sent)
                check(link.inFlight() && link.currentKind() == command.kind);
            break;
        }
        case 2: {
            const bool inFlight = link.inFlight();
            check(link.inquiryTimedOut() == inFlight);
            check(!inFlight || link.resyncing());
            break;
        }
        case 3:
            link.quietElapsed();
            check(!link.resyncing());
            break;
        case 4: {
            if (at >= size)
                break;
            const size_t wanted = data[at++];
            const size_t n = qMin(wanted, size - at);
            frames.clear();
            assembler.feed(reinterpret_cast<const char *>(data + at), int(n), frames);
            at += n;
            for (const QByteArray &frame : frames)
                handleFrame(link, frame, status);
            break;
        }
        default:
            link.clear();
            assembler.reset();
            check(link.queued() == 0 && !link.inFlight() && !link.resyncing());
            break;
        }
        check(link.queued() <= kMaxQueued);
        check(!link.inFlight() || link.queued() > 0);
    }
    return 0;
}
