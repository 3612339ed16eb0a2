// One update at a time on a computer. The Kavix belongs to the machine, not to a user, so a second
// start of the program, from another folder or another user's session, must not reach it too: the
// claim is a mutex in the Global\ namespace, shared by every session.
#ifndef ORVFLASH_APP_ONLY_INSTANCE_H
#define ORVFLASH_APP_ONLY_INSTANCE_H

#include <windows.h>

class OnlyInstance {
public:
    OnlyInstance() = default;
    OnlyInstance(const OnlyInstance&) = delete;
    OnlyInstance& operator=(const OnlyInstance&) = delete;
    // Lets the next start have the computer.
    ~OnlyInstance();

    // True when no other start of the program runs on the computer; this one then holds the claim.
    // Otherwise the running one's window has been brought to the front, or, where it runs in
    // another user's session, the user has been told so, and the caller ends. A claim that cannot
    // be made at all counts as another start running. `quiet`: at once, no window touched and no
    // box shown, for a run with nobody in front of it.
    bool Claim(bool quiet = false);
    // When the claim failed, what can be known of who holds the name, for the log.
    const char* Why() const { return owned ? nullptr : why; }

private:
    HANDLE mutex = nullptr;
    bool owned = false;
    const char* why = nullptr;
};

#endif
