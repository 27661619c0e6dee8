#pragma once

// SIGTERM and SIGINT end the program through its normal shutdown: the signal
// handler only writes the signal number into a pipe, and on the GUI thread a
// socket notifier on that pipe calls QCoreApplication::quit(), so the event
// loop returns and the owners' destructors run (settings written, web server
// stopped, cameras released). A second signal of the same kind takes its
// default action, so a shutdown that hangs can still be ended.
namespace UnixSignals {

// Installs the handlers; call once, after the application object exists.
// False when they cannot be installed (the default actions then stay).
bool quitOnTermination();

} // namespace UnixSignals
