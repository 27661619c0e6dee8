#include "visca.h"

#include <initializer_list>

namespace Visca {

namespace {

QByteArray msg(std::initializer_list<int> bytes)
{
    QByteArray out;
    out.reserve(static_cast<int>(bytes.size()));
    for (int b : bytes)
        out.append(static_cast<char>(b & 0xFF));
    return out;
}

uint8_t mod255(int value)
{
    return static_cast<uint8_t>(value % 255);
}

uint8_t onOff(bool on)
{
    return on ? 0x02 : 0x03;
}

// 81 01 04 cc 00 00 0p 0q FF with p q the digit pair of value.
QByteArray digitPairDirect(int code, int value)
{
    return msg({0x81, 0x01, 0x04, code, 0x00, 0x00, value / 16, value % 16, 0xFF});
}

// 81 01 04 cc 00 00 00 vv FF with the value whole in the last data byte.
QByteArray wholeByteDirect(int code, int value)
{
    return msg({0x81, 0x01, 0x04, code, 0x00, 0x00, 0x00, value & 0xFF, 0xFF});
}

QByteArray limitSet(int corner, int tilt, int pan)
{
    const int p = pan & 0xFFFF;
    const int t = tilt & 0xFFFF;
    return msg({0x81, 0x01, 0x06, 0x07, 0x00, corner, (p >> 12) & 0xF, (p >> 8) & 0xF,
                (p >> 4) & 0xF, p & 0xF, (t >> 12) & 0xF, (t >> 8) & 0xF, (t >> 4) & 0xF, t & 0xF,
                0xFF});
}

} // namespace

QByteArray panTiltDrive(int panSpeed, int tiltSpeed, uint8_t panDir, uint8_t tiltDir)
{
    return msg(
        {0x81, 0x01, 0x06, 0x01, mod255(panSpeed), mod255(tiltSpeed), panDir, tiltDir, 0xFF});
}

QByteArray moveUp(int panSpeed, int tiltSpeed)
{
    return panTiltDrive(panSpeed, tiltSpeed, 0x03, 0x01);
}
QByteArray moveDown(int panSpeed, int tiltSpeed)
{
    return panTiltDrive(panSpeed, tiltSpeed, 0x03, 0x02);
}
QByteArray moveLeft(int panSpeed, int tiltSpeed)
{
    return panTiltDrive(panSpeed, tiltSpeed, 0x01, 0x03);
}
QByteArray moveRight(int panSpeed, int tiltSpeed)
{
    return panTiltDrive(panSpeed, tiltSpeed, 0x02, 0x03);
}
QByteArray moveUpLeft(int panSpeed, int tiltSpeed)
{
    return panTiltDrive(panSpeed, tiltSpeed, 0x01, 0x01);
}
QByteArray moveUpRight(int panSpeed, int tiltSpeed)
{
    return panTiltDrive(panSpeed, tiltSpeed, 0x02, 0x01);
}
QByteArray moveDownLeft(int panSpeed, int tiltSpeed)
{
    return panTiltDrive(panSpeed, tiltSpeed, 0x01, 0x02);
}
QByteArray moveDownRight(int panSpeed, int tiltSpeed)
{
    return panTiltDrive(panSpeed, tiltSpeed, 0x02, 0x02);
}
QByteArray moveStop(int panSpeed, int tiltSpeed)
{
    return panTiltDrive(panSpeed, tiltSpeed, 0x03, 0x03);
}
QByteArray moveHome()
{
    return msg({0x81, 0x01, 0x06, 0x04, 0xFF});
}

QByteArray zoomIn(int speed)
{
    return msg({0x81, 0x01, 0x04, 0x07, 0x20 + speed, 0xFF});
}
QByteArray zoomOut(int speed)
{
    return msg({0x81, 0x01, 0x04, 0x07, 0x30 + speed, 0xFF});
}
QByteArray zoomStop()
{
    return msg({0x81, 0x01, 0x04, 0x07, 0x00, 0xFF});
}
QByteArray focusIn(int speed)
{
    return msg({0x81, 0x01, 0x04, 0x08, 0x30 + speed, 0xFF});
}
QByteArray focusOut(int speed)
{
    return msg({0x81, 0x01, 0x04, 0x08, 0x20 + speed, 0xFF});
}
QByteArray focusStop()
{
    return msg({0x81, 0x01, 0x04, 0x08, 0x00, 0xFF});
}
QByteArray setAutoFocus(bool on)
{
    return msg({0x81, 0x01, 0x04, 0x38, onOff(on), 0xFF});
}

QByteArray setPreset(int presetNum)
{
    return msg({0x81, 0x01, 0x04, 0x3F, 0x01, mod255(presetNum), 0xFF});
}
QByteArray callPreset(int presetNum)
{
    return msg({0x81, 0x01, 0x04, 0x3F, 0x02, mod255(presetNum), 0xFF});
}
QByteArray clearPreset(int presetNum)
{
    return msg({0x81, 0x01, 0x04, 0x3F, 0x00, mod255(presetNum), 0xFF});
}
QByteArray setPresetSpeed(int index)
{
    return msg({0x81, 0x01, 0x06, 0x01, (index % 24) + 1, 0xFF});
}

QByteArray setIris(int index)
{
    return digitPairDirect(0x4B, index);
}
QByteArray setShutter(int index)
{
    return digitPairDirect(0x4A, index + 1);
}
QByteArray setBright(int value)
{
    return digitPairDirect(0x4D, value);
}
QByteArray brightUp()
{
    return msg({0x81, 0x01, 0x04, 0x0D, 0x02, 0xFF});
}
QByteArray brightDown()
{
    return msg({0x81, 0x01, 0x04, 0x0D, 0x03, 0xFF});
}

uint8_t aeModeByte(int index)
{
    switch (index) {
    case 1:
        return 0x03;
    case 2:
        return 0x0A;
    case 3:
        return 0x0B;
    case 4:
        return 0x0D;
    default:
        return 0x00;
    }
}
QByteArray setAeMode(int index)
{
    return msg({0x81, 0x01, 0x04, 0x39, aeModeByte(index), 0xFF});
}

uint8_t wbModeByte(int index)
{
    if (index == 4)
        return 0x05;
    if (index == 5)
        return 0x10;
    return static_cast<uint8_t>(index & 0xFF);
}
QByteArray setWBMode(int index)
{
    return msg({0x81, 0x01, 0x04, 0x35, wbModeByte(index), 0xFF});
}

QByteArray setLuminance(int value)
{
    return wholeByteDirect(0xA1, value);
}
QByteArray setContrast(int value)
{
    return wholeByteDirect(0xA2, value);
}
QByteArray setHue(int value)
{
    return wholeByteDirect(0x4F, value);
}
QByteArray onePushTrigger()
{
    return msg({0x81, 0x01, 0x04, 0x10, 0x05, 0xFF});
}

QByteArray osdMenu()
{
    return callPreset(95);
}
QByteArray osdEnter()
{
    return msg({0x81, 0x01, 0x06, 0x06, 0x05, 0xFF});
}
QByteArray osdBack()
{
    return msg({0x81, 0x01, 0x06, 0x06, 0x04, 0xFF});
}

QByteArray setImageFlip(bool on)
{
    return msg({0x81, 0x01, 0x04, 0x66, onOff(on), 0xFF});
}
QByteArray setImageMirror(bool on)
{
    return msg({0x81, 0x01, 0x04, 0x61, onOff(on), 0xFF});
}
QByteArray setMotionSync(bool on)
{
    return msg({0x81, 0x0A, 0x11, 0x13, onOff(on), 0xFF});
}
QByteArray setFocusLock(bool on)
{
    return msg({0x81, 0x0A, 0x04, 0x68, onOff(on), 0xFF});
}

QByteArray tallyLamp(bool on)
{
    return msg({0x81, 0x01, 0x7E, 0x01, 0x0A, 0x00, onOff(on), 0xFF});
}

QByteArray tallyLampInquiry()
{
    return msg({0x81, 0x09, 0x7E, 0x01, 0x0A, 0xFF});
}

QByteArray parseCustomCommand(const QString &hex)
{
    QString digits = hex;
    digits.remove(QLatin1Char(' '));
    if (digits.size() % 2 != 0 || digits.size() > 2 * kMaxCustomCommandLength)
        return {};
    QByteArray bytes;
    for (int i = 0; i < digits.size(); i += 2) {
        bool ok = false;
        const uint v = digits.midRef(i, 2).toUInt(&ok, 16);
        if (!ok || digits.at(i) == QLatin1Char('+') || digits.at(i) == QLatin1Char('-'))
            return {};
        bytes.append(char(v));
    }
    if (bytes.size() < 3 || (uint8_t(bytes.at(0)) & 0xF0) != 0x80 ||
        uint8_t(bytes.at(bytes.size() - 1)) != 0xFF ||
        bytes.indexOf(char(0xFF)) != bytes.size() - 1)
        return {};
    return bytes;
}

QString formatCommand(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QByteArray setUpRightLimit(int tilt, int pan)
{
    return limitSet(0x01, tilt, pan);
}
QByteArray setDownLeftLimit(int tilt, int pan)
{
    return limitSet(0x00, tilt, pan);
}

QByteArray inquiry(int kind)
{
    switch (kind) {
    case ZoomPos:
        return msg({0x81, 0x09, 0x04, 0x47, 0xFF});
    case FocusPos:
        return msg({0x81, 0x09, 0x04, 0x48, 0xFF});
    case FocusMode:
        return msg({0x81, 0x09, 0x04, 0x38, 0xFF});
    case Shutter:
        return msg({0x81, 0x09, 0x04, 0x4A, 0xFF});
    case Iris:
        return msg({0x81, 0x09, 0x04, 0x4B, 0xFF});
    case Bright:
        return msg({0x81, 0x09, 0x04, 0x4D, 0xFF});
    case PanTiltPos:
        return msg({0x81, 0x09, 0x06, 0x12, 0xFF});
    case Luminance:
        return msg({0x81, 0x09, 0x04, 0xA1, 0xFF});
    case Contrast:
        return msg({0x81, 0x09, 0x04, 0xA2, 0xFF});
    case Hue:
        return msg({0x81, 0x09, 0x04, 0x4F, 0xFF});
    case AeMode:
        return msg({0x81, 0x09, 0x04, 0x39, 0xFF});
    case WbMode:
        return msg({0x81, 0x09, 0x04, 0x35, 0xFF});
    default:
        return {};
    }
}

void ReplyAssembler::feed(const char *data, int size, QVector<QByteArray> &frames)
{
    for (int i = 0; i < size; ++i) {
        const auto byte = static_cast<uint8_t>(data[i]);
        if (m_index < 0) {
            if (byte == 0x90) {
                m_index = 0;
                m_frame[0] = data[i];
            }
            continue;
        }
        if (byte == 0xFF) {
            // A full buffer has no room for the closing byte: the frame
            // would pass kMaxFrameLength and is dropped like any other.
            if (m_index + 1 < kMaxFrameLength) {
                m_frame[m_index + 1] = data[i];
                frames.append(QByteArray(m_frame, m_index + 2));
            }
            m_index = -1;
            continue;
        }
        ++m_index;
        if (m_index >= kMaxFrameLength) {
            m_index = -1;
            continue;
        }
        m_frame[m_index] = data[i];
    }
}

QVector<QByteArray> ReplyAssembler::feed(const QByteArray &chunk)
{
    QVector<QByteArray> frames;
    feed(chunk.constData(), chunk.size(), frames);
    return frames;
}

namespace {

uint8_t at(const QByteArray &frame, int i)
{
    return static_cast<uint8_t>(frame.at(i));
}

// 4-byte reply: byte 2; 7-byte reply: byte 4 * 16 + byte 5. Other lengths: no value.
bool pairOrByte(const QByteArray &frame, uint8_t &out)
{
    if (frame.size() == 4) {
        out = at(frame, 2);
        return true;
    }
    if (frame.size() == 7) {
        out = static_cast<uint8_t>(at(frame, 4) * 16 + at(frame, 5));
        return true;
    }
    return false;
}

// 4-byte reply: byte 2; 7-byte reply: byte 5. Other lengths: no value.
bool lastOrByte(const QByteArray &frame, uint8_t &out)
{
    if (frame.size() == 4) {
        out = at(frame, 2);
        return true;
    }
    if (frame.size() == 7) {
        out = at(frame, 5);
        return true;
    }
    return false;
}

void copyDigits(const QByteArray &frame, int from, uint8_t *to, int count)
{
    for (int i = 0; i < count; ++i)
        to[i] = at(frame, from + i);
}

bool hexDigits(const QByteArray &frame, int from, int count)
{
    for (int i = from; i < from + count; ++i) {
        if (at(frame, i) > 0x0F)
            return false;
    }
    return true;
}

} // namespace

bool fitsInquiry(const QByteArray &frame, int kind)
{
    const int n = frame.size();
    if (n < 4 || at(frame, 0) != 0x90 || at(frame, 1) != 0x50 || at(frame, n - 1) != 0xFF)
        return false;
    switch (kind) {
    case ZoomPos:
    case FocusPos:
        return n == 7 && hexDigits(frame, 2, 4);
    case PanTiltPos:
        return n == 11 && hexDigits(frame, 2, 8);
    case FocusMode:
    case AeMode:
    case WbMode:
        return n == 4;
    case Shutter:
    case Iris:
    case Bright:
    case Luminance:
    case Contrast:
    case Hue:
        return n == 4 || n == 7;
    default:
        return false;
    }
}

ReplyEffect parseReply(const QByteArray &frame, int currentKind, CameraStatus &status)
{
    ReplyEffect effect;
    if (frame.size() >= 2 && at(frame, 0) == 0x90 && (at(frame, 1) & 0xF0) == 0x60) {
        effect.error = true;
        if (at(frame, 1) & 0x0F)
            effect.commandReply = true;
        else
            effect.advanceQueue = true;
        return effect;
    }
    effect.statusUpdated = true;
    if (frame.size() == 3) {
        effect.commandReply = true;
        return effect;
    }
    if (currentKind < kFirstInquiryKind || currentKind > kLastInquiryKind)
        return effect;
    if (!fitsInquiry(frame, currentKind)) {
        effect.misfit = true;
        return effect;
    }

    effect.advanceQueue = true;
    switch (currentKind) {
    case ZoomPos:
        copyDigits(frame, 2, status.zoomPos, 4);
        break;
    case FocusPos:
        copyDigits(frame, 2, status.focusPos, 4);
        break;
    case FocusMode:
        status.autoFocus = at(frame, 2) == 0x02;
        break;
    case Shutter:
        pairOrByte(frame, status.shutter);
        break;
    case Iris:
        pairOrByte(frame, status.iris);
        break;
    case Bright:
        status.bright = at(frame, 2);
        break;
    case PanTiltPos:
        copyDigits(frame, 2, status.panTiltPos, 8);
        break;
    case Luminance:
        lastOrByte(frame, status.luminance);
        break;
    case Contrast:
        lastOrByte(frame, status.contrast);
        break;
    case Hue:
        lastOrByte(frame, status.hue);
        break;
    case AeMode:
        status.aeMode = at(frame, 2);
        break;
    case WbMode:
        status.wbMode = at(frame, 2);
        effect.readOneCycle = true;
        break;
    default:
        break;
    }
    return effect;
}

bool InquiryLink::enqueue(int kind)
{
    if (m_queue.size() >= m_maxQueued)
        return false;
    m_queue.append({inquiry(kind), kind});
    return true;
}

bool InquiryLink::takeNextToSend(CameraCommand &out)
{
    if (m_inFlight || m_resyncing || m_queue.isEmpty())
        return false;
    out = m_queue.first();
    m_inFlight = true;
    m_currentKind = out.kind;
    return true;
}

InquiryLink::Outcome InquiryLink::onFrame(const QByteArray &frame, CameraStatus &status)
{
    Outcome out;
    if (m_resyncing) {
        // Discarded; only frames that could answer an inquiry keep the line busy.
        CameraStatus scratch;
        out.restartQuiet = !parseReply(frame, 0, scratch).commandReply;
        return out;
    }
    out.effect = parseReply(frame, m_inFlight ? m_currentKind : 0, status);
    if (out.effect.commandReply || !m_inFlight) {
        // A command's reply, or a stray frame with no inquiry to answer.
        out.effect.advanceQueue = false;
        out.effect.statusUpdated = out.effect.statusUpdated && out.effect.commandReply;
        return out;
    }
    if (out.effect.misfit) {
        dropHead();
        m_resyncing = true;
        out.answered = true;
        out.restartQuiet = true;
        out.effect.statusUpdated = false;
        return out;
    }
    if (out.effect.advanceQueue) {
        dropHead();
        out.answered = true;
    }
    return out;
}

bool InquiryLink::inquiryTimedOut()
{
    if (!m_inFlight)
        return false;
    dropHead();
    m_resyncing = true;
    return true;
}

void InquiryLink::clear()
{
    m_queue.clear();
    m_currentKind = 0;
    m_inFlight = false;
    m_resyncing = false;
}

void InquiryLink::dropHead()
{
    if (!m_queue.isEmpty())
        m_queue.removeFirst();
    m_inFlight = false;
}

} // namespace Visca
