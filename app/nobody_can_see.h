// Whether a start of the program can be seen by anyone: deployment tools start it in session 0,
// in a window station of their own, or as SYSTEM, where a window or a box waits for nobody until
// the tool's time limit. Decided here alone. Under Wine, a window station created without
// WSF_VISIBLE shows the case; session 0 and SYSTEM's account do not exist there.
#ifndef ORVFLASH_APP_NOBODY_CAN_SEE_H
#define ORVFLASH_APP_NOBODY_CAN_SEE_H

bool NobodyCanSee();

#endif
