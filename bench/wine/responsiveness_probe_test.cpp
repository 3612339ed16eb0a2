// The probe behind the window responsiveness figure must see a window whose thread is held up.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "bounded_wait.h"
#include "responsiveness_probe.h"

namespace {

const UINT WM_HOLD_UP = WM_APP + 7;
constexpr DWORD kHoldUpMs = 150;

std::atomic<int> probesSeen{0};

LRESULT CALLBACK CountingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NULL) {
        ++probesSeen;
        return 0;
    }
    if (message == WM_HOLD_UP) {
        Sleep(kHoldUpMs);  // the fault under test: a thread busy with something else
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A message-only window served by a thread of its own, as the updater window is by its own.
DWORD WINAPI ServeWindow(LPVOID created) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = CountingWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "orvflash_probe_test";
    RegisterClassA(&windowClass);
    *static_cast<std::atomic<HWND>*>(created) = CreateWindowExA(
        0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageA(&msg);
    }
    return 0;
}

}  // namespace

TEST(ResponsivenessProbe, TimesTheAnswersOfAWindowHeldUpOnce) {
    std::atomic<HWND> window{nullptr};
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, ServeWindow, &window, 0, &threadId);
    ASSERT_TRUE(WaitUntil([&] { return IsWindow(window) != FALSE; }, 10000));

    std::vector<double> answers;
    {
        ResponsivenessProbe probe(window);
        ASSERT_TRUE(WaitUntil([] { return probesSeen >= 5; }, 10000));
        PostMessageA(window, WM_HOLD_UP, 0, 0);
        const int beforeHoldUp = probesSeen;
        ASSERT_TRUE(WaitUntil([&] { return probesSeen >= beforeHoldUp + 10; }, 10000));
        answers = probe.Stop();
    }
    PostThreadMessageA(threadId, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);

    ASSERT_GE(answers.size(), 15u);
    EXPECT_GE(*std::max_element(answers.begin(), answers.end()), kHoldUpMs / 2.0);
    std::sort(answers.begin(), answers.end());
    EXPECT_LT(answers[answers.size() / 2], 20.0) << "most answers come at once";
}
