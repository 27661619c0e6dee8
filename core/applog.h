#pragma once

#include <QString>

namespace AppLog {

// The two lines the panel writes to app.log when a camera connects or
// disconnects.
QString connectedLine();
QString disconnectedLine();

// Appends `line` plus a single line feed, UTF-8, to
// <user folder>/app.log (opened and closed per call). Returns false and writes
// nothing when the file cannot be opened.
bool append(const QString &line);

} // namespace AppLog
