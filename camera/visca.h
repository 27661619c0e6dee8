#pragma once

// VISCA wire format of the network camera (camera address 1).
//
// Every outgoing message starts with 0x81 and ends with 0xFF; every accepted
// reply starts with 0x90. The encoders below are pure: parameters in, the exact
// message bytes out. Integer arguments are not clamped:
//  - "mod 255 byte": the single byte (value mod 255);
//  - "digit pair": v / 16 and v mod 16, one hexadecimal digit per byte;
//  - "digit quad": the four hexadecimal digits of a 16-bit position, most
//    significant first;
//  - "on/off byte": 0x02 for true, 0x03 for false.

#include "camerawrapper.h"

#include <QByteArray>
#include <QList>
#include <QVector>

#include <cstdint>

namespace Visca {

// Kind of an outgoing message: 0 for a command, 3-14 for an inquiry. The kind
// of the last inquiry sent decides how a reply frame is read.
enum InquiryKind : int
{
    Command = 0,
    ZoomPos = 3,
    FocusPos = 4,
    FocusMode = 5,
    Shutter = 6,
    Iris = 7,
    Bright = 8,
    PanTiltPos = 9,
    Luminance = 10,
    Contrast = 11,
    Hue = 12,
    AeMode = 13,
    WbMode = 14,
};

constexpr int kFirstInquiryKind = ZoomPos;
constexpr int kLastInquiryKind = WbMode;

// Longest reply frame the assembler accepts, in bytes.
constexpr int kMaxFrameLength = 32;

// One outgoing message: 5-15 bytes, and its kind.
struct CameraCommand
{
    QByteArray bytes;
    int kind = Command;
};

// Pan/tilt drive. Direction bytes: pan 01 left, 02 right, 03 stop; tilt 01 up,
// 02 down, 03 stop. Speeds are mod 255 bytes.
QByteArray panTiltDrive(int panSpeed, int tiltSpeed, uint8_t panDir, uint8_t tiltDir);
QByteArray moveUp(int panSpeed, int tiltSpeed);
QByteArray moveDown(int panSpeed, int tiltSpeed);
QByteArray moveLeft(int panSpeed, int tiltSpeed);
QByteArray moveRight(int panSpeed, int tiltSpeed);
QByteArray moveUpLeft(int panSpeed, int tiltSpeed);
QByteArray moveUpRight(int panSpeed, int tiltSpeed);
QByteArray moveDownLeft(int panSpeed, int tiltSpeed);
QByteArray moveDownRight(int panSpeed, int tiltSpeed);
QByteArray moveStop(int panSpeed, int tiltSpeed);
QByteArray moveHome();

// Zoom tele 0x20 + speed, wide 0x30 + speed; focus near 0x30 + speed, far
// 0x20 + speed (plain addition, low 8 bits).
QByteArray zoomIn(int speed);
QByteArray zoomOut(int speed);
QByteArray zoomStop();
QByteArray focusIn(int speed);
QByteArray focusOut(int speed);
QByteArray focusStop();
QByteArray setAutoFocus(bool on);

// Preset memory: number as a mod 255 byte.
QByteArray setPreset(int presetNum);
QByteArray callPreset(int presetNum);
QByteArray clearPreset(int presetNum);
// Recall speed (index mod 24) + 1: combo index 0-23 gives speed 1-24.
QByteArray setPresetSpeed(int index);

// Exposure. Iris index 0-12, shutter index 0-16 (sent as index + 1),
// brightness 0-17, each as a digit pair.
QByteArray setIris(int index);
QByteArray setShutter(int index);
QByteArray setBright(int value);
QByteArray brightUp();
QByteArray brightDown();
// Exposure mode index 0-4 -> camera byte 00, 03, 0A, 0B, 0D (others 00).
QByteArray setAeMode(int index);
uint8_t aeModeByte(int index);
// White balance index 4 -> 05, 5 -> 10, others the index itself (low 8 bits).
QByteArray setWBMode(int index);
uint8_t wbModeByte(int index);
// Picture values, low 8 bits written whole into the last data byte.
QByteArray setLuminance(int value);
QByteArray setContrast(int value);
QByteArray setHue(int value);
QByteArray onePushTrigger();

// On-screen menu: the menu button is a recall of preset 95.
QByteArray osdMenu();
QByteArray osdEnter();
QByteArray osdBack();

QByteArray setImageFlip(bool on);
QByteArray setImageMirror(bool on);
QByteArray setMotionSync(bool on);
QByteArray setFocusLock(bool on);

// Tally lamp: 81 01 7E 01 0A 00 02 FF lights it, ... 03 FF puts it out. The
// inquiry 81 09 7E 01 0A FF is answered 90 50 02 FF (lit) or 90 50 03 FF.
QByteArray tallyLamp(bool on);
QByteArray tallyLampInquiry();

// Longest operator-entered message accepted as a custom command, in bytes.
constexpr int kMaxCustomCommandLength = 16;
// An operator-entered message as hexadecimal text ("81 01 7E 01 0A 00 02 FF";
// spaces optional, either case): accepted when it is 3 to 16 bytes, starts
// with 0x80-0x8F, ends with 0xFF and holds no other 0xFF. Empty otherwise.
QByteArray parseCustomCommand(const QString &hex);
// Bytes as upper-case hexadecimal pairs separated by single spaces.
QString formatCommand(const QByteArray &bytes);

// Pan/tilt limits: pan and tilt positions as digit quads (low 16 bits).
QByteArray setUpRightLimit(int tilt, int pan);
QByteArray setDownLeftLimit(int tilt, int pan);

// The five-byte inquiry of a kind (3-14); empty for any other kind.
QByteArray inquiry(int kind);

// Splits a byte stream into reply frames. A frame opens at 0x90 (bytes before
// it are skipped while no frame is open) and closes at the next 0xFF: VISCA
// data bytes never take that value, so bytes that follow a closing 0xFF in the
// same chunk do not hold the frame back. A frame that would grow past
// kMaxFrameLength bytes is dropped together with the byte that overflowed it.
// State persists between chunks.
class ReplyAssembler
{
public:
    // Appends every frame completed by the chunk to frames.
    void feed(const char *data, int size, QVector<QByteArray> &frames);
    QVector<QByteArray> feed(const QByteArray &chunk);
    // Forgets a partly assembled frame.
    void reset() { m_index = -1; }
    bool frameOpen() const { return m_index >= 0; }

private:
    int m_index = -1; // index of the last stored byte; -1 while idle
    char m_frame[kMaxFrameLength] = {};
};

// What a reply frame is and what it did to the camera's state.
struct ReplyEffect
{
    bool error = false;         // 90 6y EE FF
    bool commandReply = false;  // ack/completion (3 bytes) or an error on socket y != 0:
                                // it answers a command, never an inquiry
    bool advanceQueue = false;  // the frame answers the inquiry of currentKind
    bool misfit = false;        // an inquiry-reply frame whose shape does not fit currentKind
    bool readOneCycle = false;  // white-balance answer: end of a poll cycle
    bool statusUpdated = false; // not an error frame
};

// Whether frame (90 50 .. FF) has the shape of the answer to an inquiry of kind:
// positions 7 (zoom, focus) or 11 (pan/tilt) bytes of hexadecimal digits;
// focus mode, exposure and white-balance modes 4 bytes; shutter, iris,
// brightness, luminance, contrast and hue 4 or 7 bytes.
bool fitsInquiry(const QByteArray &frame, int kind);

// Reads one assembled frame under the current inquiry kind (0: no inquiry in
// flight), storing the values the kind names into status when the frame fits
// it. Error frames carry the socket number in the low nibble of byte 1: socket
// 0 answers the inquiry, any other socket a command. Acknowledge and
// completion frames (3 bytes) store and advance nothing.
ReplyEffect parseReply(const QByteArray &frame, int currentKind, CameraStatus &status);

// Reply attribution for one VISCA connection, without sockets or timers: the
// inquiry queue (at most maxQueued, oldest first, the head in flight once
// sent) and its resynchronisation. An inquiry that times out leaves an answer
// that may still arrive; so does a frame that does not fit the inquiry in
// flight. Either puts the link into resynchronisation: nothing is sent, every
// frame that could answer an inquiry is discarded, and the owner restarts its
// quiet timer on each of them; when the line has been quiet for that long
// (quietElapsed) the queue resumes. A frame that arrives while no inquiry is
// in flight is never stored.
class InquiryLink
{
public:
    explicit InquiryLink(int maxQueued) : m_maxQueued(maxQueued) {}

    // What handling a frame asks of the owner.
    struct Outcome
    {
        ReplyEffect effect;        // effect.statusUpdated: emit the status signal
        bool answered = false;     // the in-flight inquiry was answered: stop its timer
        bool restartQuiet = false; // (re)start the resynchronisation quiet timer
    };

    // Appends an inquiry; false when the queue is full.
    bool enqueue(int kind);
    // The head, when it may be sent now: it is then in flight and its kind
    // becomes the current kind. False while one is in flight, while
    // resynchronising or when the queue is empty.
    bool takeNextToSend(CameraCommand &out);
    Outcome onFrame(const QByteArray &frame, CameraStatus &status);
    // The in-flight inquiry went unanswered: drop it and resynchronise.
    // False when nothing was in flight.
    bool inquiryTimedOut();
    // The line was quiet for the owner's quiet interval: leave resynchronisation.
    void quietElapsed() { m_resyncing = false; }
    // Forgets the queue, the current kind and any resynchronisation.
    void clear();

    int queued() const { return m_queue.size(); }
    int currentKind() const { return m_currentKind; }
    bool inFlight() const { return m_inFlight; }
    bool resyncing() const { return m_resyncing; }

private:
    void dropHead();

    QList<CameraCommand> m_queue;
    int m_maxQueued;
    int m_currentKind = 0;
    bool m_inFlight = false;
    bool m_resyncing = false;
};

} // namespace Visca
