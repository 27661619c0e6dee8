#pragma once

#include <QString>

namespace StyleSheet {

// `url('<filePath>')` for a style-sheet property such as `image` or
// `background-image`. A quote in the path is escaped, so no path can close
// the string early and add rules of its own. The style-sheet parser cannot
// carry a backslash or a control character inside a url, so a path holding
// one yields an empty string: callers then set no image at all.
QString url(const QString &filePath);

} // namespace StyleSheet
