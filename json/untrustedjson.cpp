#include "untrustedjson.h"

#include <QJsonArray>
#include <QJsonObject>

#include <nlohmann/json.hpp>

#include <limits>

namespace UntrustedJson {

namespace {

using Json = nlohmann::json;

bool convert(const Json &in, QJsonValue *out, int depth)
{
    switch (in.type()) {
    case Json::value_t::null:
        *out = QJsonValue(QJsonValue::Null);
        return true;
    case Json::value_t::boolean:
        *out = QJsonValue(in.get<bool>());
        return true;
    case Json::value_t::number_integer:
        *out = QJsonValue(qint64(in.get<std::int64_t>()));
        return true;
    case Json::value_t::number_unsigned: {
        const std::uint64_t u = in.get<std::uint64_t>();
        if (u <= std::uint64_t(std::numeric_limits<qint64>::max()))
            *out = QJsonValue(qint64(u));
        else
            *out = QJsonValue(double(u));
        return true;
    }
    case Json::value_t::number_float:
        *out = QJsonValue(in.get<double>());
        return true;
    case Json::value_t::string: {
        const std::string &s = in.get_ref<const std::string &>();
        *out = QJsonValue(QString::fromUtf8(s.data(), int(s.size())));
        return true;
    }
    case Json::value_t::array: {
        if (depth >= kMaxDepth)
            return false;
        QJsonArray array;
        for (const Json &item : in) {
            QJsonValue v;
            if (!convert(item, &v, depth + 1))
                return false;
            array.append(v);
        }
        *out = array;
        return true;
    }
    case Json::value_t::object: {
        if (depth >= kMaxDepth)
            return false;
        QJsonObject object;
        for (auto it = in.begin(); it != in.end(); ++it) {
            QJsonValue v;
            if (!convert(it.value(), &v, depth + 1))
                return false;
            const std::string &key = it.key();
            object.insert(QString::fromUtf8(key.data(), int(key.size())), v);
        }
        *out = object;
        return true;
    }
    case Json::value_t::binary:
    case Json::value_t::discarded:
        break;
    }
    return false;
}

} // namespace

std::optional<QJsonDocument> parse(const QByteArray &text)
{
    // Containers deeper than the limit are cut while parsing, so hostile
    // nesting costs neither memory nor stack beyond kMaxDepth levels.
    bool tooDeep = false;
    const Json::parser_callback_t limitDepth = [&tooDeep](int depth, Json::parse_event_t event,
                                                          Json &) {
        if ((event == Json::parse_event_t::object_start ||
             event == Json::parse_event_t::array_start) &&
            depth >= kMaxDepth) {
            tooDeep = true;
            return false;
        }
        return !tooDeep;
    };
    const Json root = Json::parse(text.constBegin(), text.constEnd(), limitDepth,
                                  /*allow_exceptions=*/false, /*ignore_comments=*/false);
    if (tooDeep || root.is_discarded() || !(root.is_object() || root.is_array()))
        return std::nullopt;
    QJsonValue value;
    if (!convert(root, &value, 0))
        return std::nullopt;
    return value.isObject() ? QJsonDocument(value.toObject()) : QJsonDocument(value.toArray());
}

} // namespace UntrustedJson
