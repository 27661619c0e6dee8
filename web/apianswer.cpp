#include "apianswer.h"

#include "qhttpserver.h"

#include <QJsonDocument>

QJsonObject ApiAnswer::toJson() const
{
    QJsonObject o = body;
    o.insert(QStringLiteral("status"), ok ? QStringLiteral("OK") : QStringLiteral("FAILED"));
    o.insert(QStringLiteral("msg"), ok ? QString() : msg);
    return o;
}

QByteArray ApiAnswer::toBytes() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Indented);
}

void sendApiAnswer(qhttp::server::QHttpResponse *resp, const ApiAnswer &answer)
{
    if (!resp || resp->isEnded())
        return;
    resp->addHeader("Content-Type", "application/json");
    resp->setStatusCode(qhttp::ESTATUS_OK);
    resp->end(answer.toBytes());
}

void replyOk(qhttp::server::QHttpResponse *resp, const QJsonObject &object)
{
    sendApiAnswer(resp, ApiAnswer::okay(object));
}

void replyFailed(qhttp::server::QHttpResponse *resp, const QString &message)
{
    sendApiAnswer(resp, ApiAnswer::failed(message));
}
