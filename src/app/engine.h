// The engine's life: start-up, the event loop, and the ways it ends.
#ifndef PARLEY_APP_ENGINE_H_
#define PARLEY_APP_ENGINE_H_

#include "app/options.h"

namespace parley {

// Runs the engine until it is told to end (ENDQX, SIGTERM/SIGINT, or the watchdog finding the
// UI program gone) and returns the process exit status: 0 for those ends and for a second copy
// on the same link port (which launches the UI program and ends at once), 1 when the UI link
// cannot listen.
int RunEngine(const EngineOptions& options);

}  // namespace parley

#endif  // PARLEY_APP_ENGINE_H_
