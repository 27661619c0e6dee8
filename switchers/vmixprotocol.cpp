#include "vmixprotocol.h"

#include <QUrlQuery>
#include <QXmlStreamReader>

#include <cmath>

namespace VMixProtocol {

static QUrl baseUrl(const Endpoint &endpoint, const QString &path)
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(endpoint.host, QUrl::StrictMode);
    if (endpoint.host.isEmpty() || !url.isValid() || endpoint.port < 1 || endpoint.port > 65535)
        return QUrl();
    url.setPort(endpoint.port);
    url.setUserName(endpoint.userName, QUrl::DecodedMode);
    url.setPassword(endpoint.password, QUrl::DecodedMode);
    url.setPath(path);
    return url;
}

QUrl statusUrl(const Endpoint &endpoint)
{
    return baseUrl(endpoint, QStringLiteral("/api"));
}

QUrl functionUrl(const Endpoint &endpoint, const QString &function,
                 const QList<QPair<QString, QString>> &params)
{
    QUrl url = baseUrl(endpoint, QStringLiteral("/api/"));
    if (url.isEmpty())
        return url;
    // Values are percent-encoded here in full; QUrlQuery keeps existing
    // escapes, so "&", "=", "+" and "#" inside a value stay data.
    const auto enc = [](const QString &text) {
        return QString::fromLatin1(QUrl::toPercentEncoding(text));
    };
    QUrlQuery query;
    if (!function.isEmpty()) {
        query.addQueryItem(QStringLiteral("function"), enc(function));
        for (const auto &param : params)
            query.addQueryItem(enc(param.first), enc(param.second));
    }
    url.setQuery(query.isEmpty() ? QStringLiteral("") : query.query(QUrl::FullyEncoded),
                 QUrl::StrictMode);
    return url;
}

QString redacted(const QUrl &url)
{
    return url.toString(QUrl::RemoveUserInfo);
}

QString formatVolume(double volume)
{
    return QString::number(volume, 'g', 6);
}

double sanitizeVolume(double volume)
{
    if (!std::isfinite(volume))
        return kMinVolume;
    return qBound(kMinVolume, volume, kMaxVolume);
}

QString transitionFunction(int n)
{
    switch (n) {
    case 0:
        return QStringLiteral("QuickPlay");
    case 1:
        return QStringLiteral("Cut");
    case 2:
    case 3:
    case 4:
    case 5:
        return QStringLiteral("Transition%1").arg(n - 1);
    case 6:
        return QStringLiteral("FadeToBlack");
    default:
        return QString();
    }
}

bool transitionTakesInput(int n)
{
    return n >= 0 && n <= 5;
}

std::optional<VMixStatus> parseStatus(const QByteArray &body)
{
    VMixStatus status;
    QXmlStreamReader xml(body);
    // Open "streaming"/"recording"/"playList" elements collecting their text
    // (an element's text includes that of its descendants).
    struct Open
    {
        bool *flag;
        int depth;
        QString text;
    };
    QList<Open> open;
    // The open "active" or "preview" element, collecting its text.
    QString *tallyText = nullptr;
    constexpr int kMaxTallyText = 64;
    int depth = 0;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
            return std::nullopt;
        case QXmlStreamReader::StartElement: {
            if (++depth > kMaxDepth)
                return std::nullopt;
            if (depth == 1)
                break; // the document element itself
            const QStringRef name = xml.name();
            const QXmlStreamAttributes attrs = xml.attributes();
            if (name == QLatin1String("input")) {
                if (status.inputs.size() < kMaxInputs) {
                    VMixInput input;
                    input.title = attrs.value(QLatin1String("title")).toString();
                    input.key = attrs.value(QLatin1String("key")).toString();
                    input.volume = attrs.value(QLatin1String("volume")).toString();
                    input.muted = attrs.value(QLatin1String("muted")) == QLatin1String("True");
                    input.number = attrs.hasAttribute(QLatin1String("number"))
                                       ? attrs.value(QLatin1String("number")).toString()
                                       : QString::number(status.inputs.size() + 1);
                    status.inputs.append(input);
                }
            } else if (depth == 2 &&
                       (name == QLatin1String("active") || name == QLatin1String("preview"))) {
                tallyText = name == QLatin1String("active") ? &status.active : &status.preview;
                tallyText->clear();
            } else if (name == QLatin1String("streaming")) {
                open.append({&status.streaming, depth, QString()});
            } else if (name == QLatin1String("recording")) {
                open.append({&status.recording, depth, QString()});
            } else if (name == QLatin1String("playList")) {
                open.append({&status.playListOn, depth, QString()});
            } else if (name == QLatin1String("master")) {
                const double volume = attrs.value(QLatin1String("volume")).toDouble();
                status.hasMaster = true;
                status.masterVolume = std::isfinite(volume) ? volume : 0.0;
                status.masterMuted = attrs.value(QLatin1String("muted")) == QLatin1String("True");
            }
            break;
        }
        case QXmlStreamReader::Characters:
            if (tallyText && tallyText->size() < kMaxTallyText)
                *tallyText += xml.text().left(kMaxTallyText);
            // Only "True" matters: longer texts need not be kept whole.
            for (Open &o : open) {
                if (o.text.size() <= 4)
                    o.text += xml.text().left(5);
            }
            break;
        case QXmlStreamReader::EndElement:
            if (depth == 2)
                tallyText = nullptr;
            if (!open.isEmpty() && open.last().depth == depth) {
                const Open done = open.takeLast();
                *done.flag = done.text == QLatin1String("True");
            }
            --depth;
            break;
        default:
            break;
        }
    }
    if (xml.hasError())
        return std::nullopt;
    return status;
}

} // namespace VMixProtocol
