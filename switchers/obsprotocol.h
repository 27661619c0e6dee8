#pragma once

#include <QJsonObject>
#include <QString>

// obs-websocket protocol version 4: requests are compact JSON objects with
// "request-type" and "message-id" (a decimal number as a JSON string); the
// peer echoes "message-id" in its reply, which is how replies are told apart.
namespace ObsProtocol {

// The fixed message id of each request type.
enum MessageId : int
{
    GetAuthRequired = 0,
    Authenticate = 1,
    GetSourcesList = 2,
    GetVolume = 3,
    GetStreamingStatus = 4,
    ToggleMute = 5,
    SetVolume = 6,
    StartStopStreaming = 7,
    StartStopRecording = 8,
    GetTransitionList = 9,
    SetCurrentTransition = 10,
    // Scene tracking for the tally.
    GetSceneList = 11,
    GetStudioModeStatus = 12,
    GetPreviewScene = 13,
};

// Volume range in decibels that the peer accepts; it treats anything below
// the minimum as silence.
constexpr double kMinVolumeDb = -100.0;
constexpr double kMaxVolumeDb = 26.0;

// "GetAuthRequired", "Authenticate", ... for the ids above.
QString requestType(MessageId id);

// One request as compact JSON text: fields plus "request-type" and
// "message-id".
QString request(MessageId id, QJsonObject fields = QJsonObject());

// base64(sha256(base64(sha256(password + salt)) + challenge)), UTF-8 texts,
// standard Base64 alphabet with padding.
QString authString(const QString &password, const QString &salt, const QString &challenge);

// The reply's "message-id" string as a decimal integer; 0 when missing, not a
// string or not a number (pushed events carry none).
int replyId(const QJsonObject &reply);

// A non-finite volume becomes kMinVolumeDb; others are clamped to the range.
double sanitizeVolumeDb(double db);

} // namespace ObsProtocol
