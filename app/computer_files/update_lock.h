// The one-update-at-a-time name: a mutex in the Global\ namespace, shared by every session, made
// with rules of its own so that no account can take it from the others by changing them.
#ifndef ORVFLASH_APP_COMPUTER_FILES_UPDATE_LOCK_H
#define ORVFLASH_APP_COMPUTER_FILES_UPDATE_LOCK_H

#include <windows.h>

// Creates or opens the mutex asking only to wait on it and release it; null when it cannot, with
// the reason in GetLastError. `why` then says what can be known of who holds the name.
HANDLE OpenUpdateLock(const char*& why);

// Owns `lock` if no run holds it (an abandoned one counts as free).
bool TryOwn(HANDLE lock);

#endif
