#include "stylesheeturl.h"

namespace StyleSheet {

QString url(const QString &filePath)
{
    // The parser turns "\<hex digits>" into a character before it splits the
    // sheet into tokens, so an escaped backslash in front of a hex digit would
    // still change the path; line breaks end the string. Both are refused.
    QString escaped;
    escaped.reserve(filePath.size() + 8);
    for (const QChar c : filePath) {
        if (c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QString();
        if (c == QLatin1Char('\''))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return QStringLiteral("url('") + escaped + QStringLiteral("')");
}

} // namespace StyleSheet
