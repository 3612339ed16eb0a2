// Every way of closing the updater asks first while the flash is being programmed, and a session
// end is refused meanwhile.
#ifndef ORVFLASH_APP_CLOSE_GUARD_H
#define ORVFLASH_APP_CLOSE_GUARD_H

#include "update_run.h"

class CloseGuard {
public:
    explicit CloseGuard(UpdateRun& run) : run(run) {}

    // Asks while programming; only a Yes closes, so a box that could not be shown keeps the
    // window open.
    bool MayClose() const;
    bool MayEndSession() const { return !run.IsUpdating(); }
    // The window is closing: nothing of the run may go on using it.
    void Release();

private:
    UpdateRun& run;
};

#endif
