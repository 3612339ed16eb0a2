#include "shell_taskbar_button.h"

#include <shobjidl.h>

ShellTaskbarButton::~ShellTaskbarButton() {
    Release();
    if (comInitialized) {
        CoUninitialize();
    }
}

void ShellTaskbarButton::Release() {
    if (taskbar != nullptr) {
        taskbar->Release();
        taskbar = nullptr;
    }
}

void ShellTaskbarButton::ButtonCreated() {
    if (!comInitialized) {
        comInitialized = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    }
    // An object of Explorer's earlier life may no longer reach the new taskbar.
    Release();
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&taskbar)))) {
        taskbar = nullptr;
        return;
    }
    if (FAILED(taskbar->HrInit())) {
        Release();
    }
}

void ShellTaskbarButton::SetProgressState(HWND window, Progress state) {
    if (taskbar == nullptr) {
        return;
    }
    const TBPFLAG flags = state == Progress::normal  ? TBPF_NORMAL
                          : state == Progress::error ? TBPF_ERROR
                                                     : TBPF_NOPROGRESS;
    taskbar->SetProgressState(window, flags);
}

void ShellTaskbarButton::SetProgressValue(HWND window, int completed, int total) {
    if (taskbar != nullptr && completed >= 0 && total > 0) {
        taskbar->SetProgressValue(window, ULONGLONG(completed), ULONGLONG(total));
    }
}

void ShellTaskbarButton::Flash(HWND window) {
    FLASHWINFO flash = {};
    flash.cbSize = sizeof flash;
    flash.hwnd = window;
    flash.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;
    FlashWindowEx(&flash);
}
