#include "only_instance.h"

#include "update_lock.h"

namespace {

// The updater window as its template makes it.
const char kWindowClass[] = "#32770";
const char kWindowCaption[] = "Quorlan ORV Firmware Updater";
// The running one may still be on its way to showing its window.
constexpr DWORD kWindowWaitMs = 5000;
constexpr DWORD kPollMs = 50;

const char kOtherSession[] =
    "The firmware updater is already running in another user's session on this computer. Only "
    "one update can run at a time. Try again when it has finished.";
// An unattended run has no window to bring forward, and one in another session cannot be seen.
const char kNoWindow[] =
    "The firmware updater is already running on this computer, in another user's session or "
    "without a window. Only one update can run at a time. Try again when it has finished.";
const char kClaimUnknown[] =
    "The firmware updater cannot tell whether another update is running on this computer. Only "
    "one update can run at a time. Try again when it has finished, or restart the computer.";

void BringToFront(HWND window) {
    if (IsIconic(window)) {
        // Asynchronous: a busy window must not hold this start up.
        ShowWindowAsync(window, SW_RESTORE);
    }
    // A question the window is asking is what the user has to see.
    SetForegroundWindow(GetLastActivePopup(window));
}

}  // namespace

OnlyInstance::~OnlyInstance() {
    if (owned) {
        ReleaseMutex(mutex);
    }
    if (mutex != nullptr) {
        CloseHandle(mutex);
    }
}

bool OnlyInstance::Claim(bool quiet) {
    mutex = OpenUpdateLock(why);
    if (mutex == nullptr) {
        // Made by a program of another user, whose rights keep this one out; or the name is held
        // by an object of another kind. Two updates of one Kavix would ruin it: never run
        // unclaimed.
        const bool otherUser = GetLastError() == ERROR_ACCESS_DENIED;
        if (!quiet) {
            MessageBoxA(nullptr, otherUser ? kOtherSession : kClaimUnknown, "Warning",
                        MB_OK | MB_SETFOREGROUND);
        }
        return false;
    }
    // Any account may hold the name this way: what can be known is that something holds it.
    why =
        "The one-update-at-a-time name is held by a run of this program, or by another "
        "account's process that opened it.";
    if (quiet) {
        owned = TryOwn(mutex);
        return owned;
    }
    for (DWORD waited = 0;; waited += kPollMs) {
        // Tried again while waiting: the running one may end meanwhile.
        owned = TryOwn(mutex);
        if (owned) {
            return true;
        }
        // Only windows of this session are found: one in another session never shows up.
        HWND running = FindWindowA(kWindowClass, kWindowCaption);
        if (running != nullptr) {
            BringToFront(running);
            return false;
        }
        if (waited >= kWindowWaitMs) {
            break;
        }
        Sleep(kPollMs);
    }
    MessageBoxA(nullptr, kNoWindow, "Warning", MB_OK | MB_SETFOREGROUND);
    return false;
}
