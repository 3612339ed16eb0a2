// What keeps the session from ending under a run: a shutdown block on the window, asked for and
// removed on the window's thread, and the system kept awake for as long as the worker runs, asked
// on the worker's own thread (the execution state belongs to the thread that sets it).
#ifndef ORVFLASH_APP_SESSION_GUARD_H
#define ORVFLASH_APP_SESSION_GUARD_H

#include <windows.h>

class SessionGuard {
public:
    virtual void BlockShutdown(HWND window) = 0;
    virtual void AllowShutdown(HWND window) = 0;
    virtual void KeepAwake() = 0;
    virtual void AllowSleep() = 0;

protected:
    ~SessionGuard() = default;
};

#endif
