#include "unixsignals.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

Q_LOGGING_CATEGORY(lcSignals, "corvanta.app.signals")

#ifdef Q_OS_UNIX
// [0] written by the handler, [1] read on the GUI thread.
int g_pipe[2] = {-1, -1};

extern "C" void onTerminationSignal(int sig)
{
    const int saved = errno;
    const char byte = char(sig);
    // Async-signal-safe; a full pipe already holds a pending quit.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[0], &byte, 1);
    errno = saved;
}
#endif

} // namespace

bool UnixSignals::quitOnTermination()
{
#ifdef Q_OS_UNIX
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || g_pipe[0] >= 0)
        return false;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0) {
        qCWarning(lcSignals) << "cannot create the signal pipe:" << strerror(errno);
        return false;
    }
    auto *notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [] {
        char sigs[16];
        const ssize_t n = ::read(g_pipe[1], sigs, sizeof sigs);
        if (n <= 0)
            return;
        qCInfo(lcSignals) << "signal" << int(sigs[0]) << "received: shutting down";
        QCoreApplication::quit();
    });

    struct sigaction sa = {};
    sa.sa_handler = &onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    // SA_RESETHAND: the next signal of this kind takes the default action.
    sa.sa_flags = SA_RESTART | SA_RESETHAND;
    bool ok = true;
    for (int sig : {SIGTERM, SIGINT})
        ok = ::sigaction(sig, &sa, nullptr) == 0 && ok;
    return ok;
#else
    return false;
#endif
}
