// SIGINT and SIGTERM end the program the way its Quit shortcut does: on the event loop, through
// QCoreApplication::quit, so that the tap is stopped and the process exits with status 0.
#pragma once

class QObject;

namespace corvane {

// From now on SIGINT and SIGTERM call QCoreApplication::quit() on context's event loop. The
// handler only writes a byte to a pipe, which is all a signal handler may safely do.
void quitOnTerminationSignals(QObject* context);

}  // namespace corvane
