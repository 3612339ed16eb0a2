// The orv_api.dll this process was bound to, named in the log of every run: the file it was loaded
// from, what its version resource says and who signed it. The simulated Kavix is known by its
// version resource, so that an unattended run cannot pass a simulated update for a real one.
#ifndef ORVFLASH_APP_DEVICE_LIBRARY_INFO_H
#define ORVFLASH_APP_DEVICE_LIBRARY_INFO_H

#include "run_log.h"

// Logs the library's path, description, version and signer, and whether it is the simulator.
void LogDeviceLibrary(RunLog& log);

// True, after logging why, where the library is the simulated Kavix and the environment does not
// allow it (ORV_ALLOW_SIMULATOR=1): an unattended run then changes nothing.
bool RefusesSimulatedKavix(RunLog& log);

#endif
