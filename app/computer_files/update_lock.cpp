#include "update_lock.h"

#include "folder_rules.h"

namespace {

const char kLockName[] = "Global\\orvflash-one-update-at-a-time";
// SYSTEM and Administrators full; every other account may wait on it and release it
// (SYNCHRONIZE | MUTEX_MODIFY_STATE), not change its rules or owner.
const wchar_t kLockRules[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x100001;;;AU)";

}  // namespace

HANDLE OpenUpdateLock(const char*& why) {
    HANDLE lock = nullptr;
    DWORD error = ERROR_INVALID_SECURITY_DESCR;
    {
        const Descriptor rules(kLockRules);
        SECURITY_ATTRIBUTES attributes = {sizeof attributes, rules.Get(), FALSE};
        if (rules.Valid()) {
            lock = CreateMutexExA(&attributes, kLockName, 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
            error = GetLastError();
        }
    }
    if (lock == nullptr) {
        why = error == ERROR_INVALID_SECURITY_DESCR
                  ? "The rules for the one-update-at-a-time name could not be made."
              : error == ERROR_ACCESS_DENIED
                  ? "The one-update-at-a-time name is held with rules that keep this account out "
                    "(an earlier version's run, or another account's object)."
                  : "The one-update-at-a-time name is taken by an object of another kind.";
    }
    SetLastError(error);
    return lock;
}

bool TryOwn(HANDLE lock) {
    const DWORD result = WaitForSingleObject(lock, 0);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}
