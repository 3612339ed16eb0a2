// The exit codes of every run, which deployment tools read; README.md lists them. One table for
// the window and for an unattended run (/s).
#ifndef ORVFLASH_UPDATE_EXIT_CODE_H
#define ORVFLASH_UPDATE_EXIT_CODE_H

#include "update_run.h"

enum ExitCode : int {
    kExitUpdated = 0,     // updated and read back, also where an interrupted update finished
    kExitFailed = 1,      // failed after the Kavix was changed; the saved copy is kept
    kExitUpToDate = 2,    // nothing changed: already up to date
    kExitNoDevice = 3,    // nothing changed: no Kavix, not a Kavix, or its data unreadable
    kExitNoImage = 4,     // nothing changed: no usable Kavix_V5.dat
    kExitMustDecide = 6,  // nothing changed: a person must decide
    // The read-only check (/s /check); it also ends with 2, 3, 6 and the code for another update.
    kExitCheckUpdateNeeded = 10,    // the Kavix needs the update
    kExitCheckBlankDataBlock = 11,  // its data block reads blank
    kExitCheckUpdatePending = 12,   // an interrupted update waits for its copy
    kExitWrongCommandLine = 64,     // nothing changed: the command line is wrong
    kExitAnotherUpdate = 1618       // nothing changed: another update runs on this computer; the
                                    // code of "another installation in progress", which deployment
                                    // tools retry
};

// How a run that ended as `outcome` exits. `programmed`: the worker ran, so a run whose end is not
// known may have changed the Kavix and never passes for one that changed nothing.
inline ExitCode ExitCodeOf(RunOutcome outcome, bool programmed) {
    switch (outcome) {
        case RunOutcome::finished:
            return kExitUpdated;
        case RunOutcome::failed:
            return kExitFailed;
        case RunOutcome::upToDate:
            return kExitUpToDate;
        case RunOutcome::noDevice:
        case RunOutcome::notErased:
            return kExitNoDevice;
        case RunOutcome::noImage:
            return kExitNoImage;
        case RunOutcome::mustDecide:
            return kExitMustDecide;
        case RunOutcome::none:
            break;
    }
    // Also a window closed without an update: nothing was decided.
    return programmed ? kExitFailed : kExitMustDecide;
}

#endif
