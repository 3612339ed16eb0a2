#include "system_session_guard.h"

namespace {

const wchar_t kShutdownBlockReason[] =
    L"Updating the Kavix firmware. Do not turn off the computer.";

}  // namespace

void SystemSessionGuard::BlockShutdown(HWND window) {
    ShutdownBlockReasonCreate(window, kShutdownBlockReason);
}

void SystemSessionGuard::AllowShutdown(HWND window) {
    ShutdownBlockReasonDestroy(window);
}

void SystemSessionGuard::KeepAwake() {
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
}

void SystemSessionGuard::AllowSleep() {
    SetThreadExecutionState(ES_CONTINUOUS);
}
