#pragma once

#include <QByteArray>
#include <QJsonDocument>

#include <optional>

// JSON text that arrives from outside (HTTP query values, peer messages).
// Qt 5's own parser keeps the memory of every overwritten value of a repeated
// key, so a request can grow the process without bound; this parser does not.
namespace UntrustedJson {

// Containers nested deeper than this make the text invalid.
constexpr int kMaxDepth = 128;

// The document (object or array at the top) of UTF-8 text in RFC 8259
// syntax; nullopt for anything else (syntax error, invalid UTF-8, nesting
// beyond kMaxDepth, a number beyond the double range). A repeated key keeps
// its last value, as Qt's parser does. Integers are stored as qint64 where
// they fit, other numbers as double.
std::optional<QJsonDocument> parse(const QByteArray &text);

} // namespace UntrustedJson
