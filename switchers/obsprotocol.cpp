#include "obsprotocol.h"

#include <QCryptographicHash>
#include <QJsonDocument>

#include <cmath>

namespace ObsProtocol {

QString requestType(MessageId id)
{
    switch (id) {
    case GetAuthRequired:
        return QStringLiteral("GetAuthRequired");
    case Authenticate:
        return QStringLiteral("Authenticate");
    case GetSourcesList:
        return QStringLiteral("GetSourcesList");
    case GetVolume:
        return QStringLiteral("GetVolume");
    case GetStreamingStatus:
        return QStringLiteral("GetStreamingStatus");
    case ToggleMute:
        return QStringLiteral("ToggleMute");
    case SetVolume:
        return QStringLiteral("SetVolume");
    case StartStopStreaming:
        return QStringLiteral("StartStopStreaming");
    case StartStopRecording:
        return QStringLiteral("StartStopRecording");
    case GetTransitionList:
        return QStringLiteral("GetTransitionList");
    case SetCurrentTransition:
        return QStringLiteral("SetCurrentTransition");
    case GetSceneList:
        return QStringLiteral("GetSceneList");
    case GetStudioModeStatus:
        return QStringLiteral("GetStudioModeStatus");
    case GetPreviewScene:
        return QStringLiteral("GetPreviewScene");
    }
    return QString();
}

QString request(MessageId id, QJsonObject fields)
{
    fields.insert(QStringLiteral("request-type"), requestType(id));
    fields.insert(QStringLiteral("message-id"), QString::number(int(id)));
    return QString::fromUtf8(QJsonDocument(fields).toJson(QJsonDocument::Compact));
}

static QByteArray sha256Base64(const QString &text)
{
    return QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toBase64();
}

QString authString(const QString &password, const QString &salt, const QString &challenge)
{
    const QString secret = QString::fromLatin1(sha256Base64(password + salt));
    return QString::fromLatin1(sha256Base64(secret + challenge));
}

int replyId(const QJsonObject &reply)
{
    bool ok = false;
    const int id = reply.value(QStringLiteral("message-id")).toString().toInt(&ok, 10);
    return ok ? id : 0;
}

double sanitizeVolumeDb(double db)
{
    if (!std::isfinite(db))
        return kMinVolumeDb;
    return qBound(kMinVolumeDb, db, kMaxVolumeDb);
}

} // namespace ObsProtocol
