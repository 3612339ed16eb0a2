// The exit codes of an unattended run (/s), which deployment tools read; README.md lists them.
#ifndef ORVFLASH_APP_EXIT_CODE_H
#define ORVFLASH_APP_EXIT_CODE_H

#include "run_report.h"

enum ExitCode : int {
    kExitUpdated = 0,        // updated and read back, also where an interrupted update finished
    kExitFailed = 1,         // failed after the Kavix was changed; the saved copy is kept
    kExitUpToDate = 2,       // nothing changed: already up to date
    kExitNoDevice = 3,       // nothing changed: no Kavix, not a Kavix, or its data unreadable
    kExitNoImage = 4,        // nothing changed: no usable Kavix_V5.dat
    kExitAnotherUpdate = 5,  // nothing changed: another update runs on this computer
    kExitMustDecide = 6,     // nothing changed: a person must decide
    // The read-only check (/s /check); it also ends with 2, 3, 6 and the code for another update.
    kExitCheckUpdateNeeded = kCheckUpdateNeeded,      // the Kavix needs the update
    kExitCheckBlankDataBlock = kCheckBlankDataBlock,  // its data block reads blank
    kExitCheckUpdatePending = kCheckUpdatePending,    // an interrupted update waits for its copy
    kExitWrongCommandLine = 64                        // nothing changed: the command line is wrong
};

#endif
