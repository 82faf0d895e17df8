#pragma once

class QCoreApplication;

namespace sim {

// SIGINT, SIGTERM and SIGHUP end app's event loop in an orderly way, so that what
// needs undoing on exit (the COM link in the port folder) is undone.
void quitOnSignals(QCoreApplication *app);

} // namespace sim
