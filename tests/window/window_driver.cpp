#include "window_driver.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "afx_winapp.h"
#include "shell_taskbar_button.h"
#include "system_session_guard.h"
#include "updater_dlg.h"

namespace {

// The window code needs an application object, as in the program.
class WindowTestApp : public CWinAppEx {};
WindowTestApp app;

// EVENT_OBJECT_LIVEREGIONCHANGED, which the headers give only for Windows 8 and later.
constexpr DWORD kLiveRegionChanged = 0x8019;

// What the hooks record, on the window's thread, for the driver's thread to read.
std::mutex recordLock;
WindowDriver* recording = nullptr;

}  // namespace

LRESULT CALLBACK WindowDriver::RecordCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTA* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
        CreatedControl control;
        control.className = HIWORD(reinterpret_cast<UINT_PTR>(create->lpszClass))
                                ? create->lpszClass
                                : std::string("#atom");
        // With common controls 6 the classes carry their version: "6.0.2600.2982!Edit".
        control.className.erase(0, control.className.rfind('!') + 1);
        control.style = DWORD(create->style);
        control.rect = {create->x, create->y, create->x + create->cx, create->y + create->cy};
        control.id = UINT(reinterpret_cast<UINT_PTR>(create->hMenu));
        control.parent = create->hwndParent;
        std::lock_guard<std::mutex> lock(recordLock);
        if (recording != nullptr) {
            recording->created.push_back(control);
        }
    }
    (void)wParam;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK WindowDriver::RecordBarState(int code, WPARAM wParam, LPARAM lParam) {
    const CWPSTRUCT* sent = reinterpret_cast<CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == PBM_SETSTATE) {
        std::lock_guard<std::mutex> lock(recordLock);
        if (recording != nullptr) {
            recording->barStates.push_back(int(sent->wParam));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK WindowDriver::RecordLiveRegion(HWINEVENTHOOK, DWORD, HWND control, LONG object,
                                             LONG child, DWORD, DWORD) {
    std::lock_guard<std::mutex> lock(recordLock);
    if (recording != nullptr && object == OBJID_CLIENT && child == CHILDID_SELF) {
        recording->liveRegionChanges.push_back(control);
    }
}

void WindowDriver::Run(const std::function<void(WindowDriver&)>& drive, TaskbarButton* taskbar,
                       SessionGuard* session) {
    WindowDriver driver;
    {
        std::lock_guard<std::mutex> lock(recordLock);
        recording = &driver;
    }
    HHOOK hook = SetWindowsHookExA(WH_CBT, RecordCreation, nullptr, GetCurrentThreadId());
    HHOOK sentHook =
        SetWindowsHookExA(WH_CALLWNDPROC, RecordBarState, nullptr, GetCurrentThreadId());
    // Out of context, as a screen reader's: delivered to this thread's message loop.
    HWINEVENTHOOK liveHook =
        SetWinEventHook(kLiveRegionChanged, kLiveRegionChanged, nullptr, RecordLiveRegion,
                        GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    std::atomic<bool> closed{false};

    std::thread user([&] {
        const bool shown = WaitUntil(
            [&] {
                // Window tests run side by side: only this program's window will do.
                driver.window = FindBox(GetCurrentProcessId(), kUpdaterCaption);
                return driver.window != nullptr && driver.LogControl() != nullptr;
            },
            kWindowWaitMs);
        EXPECT_TRUE(shown) << "the updater window did not show";
        if (shown) {
            drive(driver);
        }
        if (!closed) {
            // Whatever the test left open: close the window, saying Yes to the close guard.
            PostMessageA(driver.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
        const bool ended = WaitUntil(
            [&] {
                if (HWND question = FindBox(GetCurrentProcessId(), "Question")) {
                    PostMessageA(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
                }
                return closed.load();
            },
            kWindowWaitMs);
        if (!ended) {
            std::fprintf(stderr, "the updater window did not close\n");
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
    });

    {
        ShellTaskbarButton shellTaskbar;
        SystemSessionGuard systemSession;
        CUpdaterDlg dlg(taskbar != nullptr ? *taskbar : shellTaskbar,
                        session != nullptr ? *session : systemSession);
        app.m_pMainWnd = &dlg;
        dlg.DoModal();
        if (!dlg.WaitForWorker()) {
            TerminateProcess(GetCurrentProcess(), 0);  // as the program does with a stuck worker
        }
        app.m_pMainWnd = nullptr;
    }
    closed = true;
    user.join();
    UnhookWinEvent(liveHook);
    UnhookWindowsHookEx(sentHook);
    UnhookWindowsHookEx(hook);
    std::lock_guard<std::mutex> lock(recordLock);
    recording = nullptr;
}

std::size_t WindowDriver::LogAnnouncements() const {
    std::lock_guard<std::mutex> lock(recordLock);
    return std::size_t(
        std::count(liveRegionChanges.begin(), liveRegionChanges.end(), LogControl()));
}

std::vector<int> WindowDriver::BarStates() const {
    std::lock_guard<std::mutex> lock(recordLock);
    return barStates;
}

void WindowDriver::Press(HWND box, int buttonId) {
    // Posted, as a click would be: the box's own loop handles it.
    PostMessageA(GetDlgItem(box, buttonId), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, kWindowWaitMs));
}
