#pragma once

#include <QJsonObject>
#include <QString>

namespace qhttp {
namespace server {
class QHttpResponse;
}
} // namespace qhttp

// The answer of one API route. Handlers return it; the route glue writes it
// (sendApiAnswer), so every request that reaches a handler is answered once.
// Written as the JSON envelope: the body's keys plus "status" ("OK" or
// "FAILED") and "msg" ("" or the failure text), indented, keys in ascending
// order, HTTP 200, "Content-Type: application/json".
struct ApiAnswer
{
    QJsonObject body;
    bool ok = true;
    QString msg;

    static ApiAnswer okay(const QJsonObject &body = QJsonObject()) { return {body, true, {}}; }
    static ApiAnswer failed(const QString &message) { return {QJsonObject(), false, message}; }

    // The envelope as a JSON object ("status"/"msg" replace equal body keys).
    QJsonObject toJson() const;
    QByteArray toBytes() const;
};

// Ends resp with the answer. A response already ended (the client went away)
// is left alone.
void sendApiAnswer(qhttp::server::QHttpResponse *resp, const ApiAnswer &answer);
// The envelope helpers of the route handlers.
void replyOk(qhttp::server::QHttpResponse *resp, const QJsonObject &object = QJsonObject());
void replyFailed(qhttp::server::QHttpResponse *resp, const QString &message);
