#pragma once

#include <QLoggingCategory>

// Diagnostics of the OBS and vMix clients. Never carries a password or a URL
// with user information.
Q_DECLARE_LOGGING_CATEGORY(lcSwitchers)
