// libFuzzer target: one OBS peer message per input, through the client's
// message handler (the JSON parser and the reply handlers, all instrumented).
// The client's socket is never connected, so replies that would send requests
// send nothing. Afterwards the picture must respect its bounds.
#include "obswrapper.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdint>
#include <cstdlib>

static ObsWrapper *obs = nullptr;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    QLoggingCategory::setFilterRules(QStringLiteral("corvanta.*=false"));
    new QCoreApplication(*argc, *argv);
    obs = new ObsWrapper(QStringLiteral("127.0.0.1"), 4444, QStringLiteral("pw"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    obs->messageReceived(QString::fromUtf8(reinterpret_cast<const char *>(data), int(size)));
    if (obs->getSourcesJson().size() > ObsWrapper::kMaxSources ||
        obs->getTransitions().size() > ObsWrapper::kMaxTransitions)
        std::abort();
    obs->statusJson();
    return 0;
}
