// The session guard of the system: the shutdown block reason and the thread's execution state.
#ifndef ORVFLASH_APP_SYSTEM_SESSION_GUARD_H
#define ORVFLASH_APP_SYSTEM_SESSION_GUARD_H

#include "session_guard.h"

class SystemSessionGuard : public SessionGuard {
public:
    void BlockShutdown(HWND window) override;
    void AllowShutdown(HWND window) override;
    void KeepAwake() override;
    void AllowSleep() override;
};

#endif
