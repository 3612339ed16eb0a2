// Runs the real updater window on the test's main thread while a driver thread acts on it from
// outside its message loop: finding windows, reading texts, clicking, answering boxes.
#ifndef ORVFLASH_TESTS_WINDOW_WINDOW_DRIVER_H
#define ORVFLASH_TESTS_WINDOW_WINDOW_DRIVER_H

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "bounded_wait.h"
#include "recording_annotations.h"
#include "resource.h"
#include "session_guard.h"
#include "simulated_kavix.h"
#include "taskbar_button.h"
#include "window_view.h"

using namespace kavix_test;

// How long a test waits for the window to do what it was asked.
constexpr unsigned long kWindowWaitMs = 20000;

// What the window passed when it created its log control.
struct CreatedControl {
    std::string className;
    DWORD style;
    RECT rect;
    UINT id;
    HWND parent;
};

class WindowDriver {
public:
    // Runs `drive` on a thread of its own while the main thread runs the updater window until it
    // closes. Ends the test program if the window does not close in time, so nothing hangs.
    // A taskbar button or session guard given takes the place of the system's.
    static void Run(const std::function<void(WindowDriver&)>& drive,
                    TaskbarButton* taskbar = nullptr, SessionGuard* session = nullptr);

    HWND Window() const { return window; }
    HWND LogControl() const { return FindWindowExA(window, nullptr, "Edit", nullptr); }
    Lines LogLines() const { return kavix_test::LogLines(LogControl()); }
    bool LogEndsWith(const Lines& end) const {
        const Lines lines = LogLines();
        return lines.size() >= end.size() && std::equal(end.rbegin(), end.rend(), lines.rbegin());
    }
    bool LogEndInView() const { return LastLineInView(LogControl()); }
    int ProgressPos() const { return int(Send(GetDlgItem(window, IDC_PROGRESS), PBM_GETPOS)); }
    // The states asked of the progress bar, in order. Recorded as they were sent: Wine's bar
    // reports PBST_NORMAL whatever it was told.
    std::vector<int> BarStates() const;
    const std::vector<CreatedControl>& Created() const { return created; }
    // As a screen reader gets them: the names the window gave its controls, the log's live
    // setting, and the live-region changes of the log as a whole that a WinEvent hook has seen.
    std::string Annotation(HWND control, const char* property) const {
        return annotations.Value(control, property);
    }
    std::size_t LogAnnouncements() const;

    Box WaitForBox(const char* caption) const {
        return kavix_test::WaitForBox(GetCurrentProcessId(), caption, kWindowWaitMs);
    }
    // Clicks a button of a box and waits for the box to go.
    void Press(HWND box, int buttonId);
    void Click(int controlId) const { PostMessageA(GetDlgItem(window, controlId), BM_CLICK, 0, 0); }

private:
    static LRESULT CALLBACK RecordCreation(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK RecordBarState(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK RecordLiveRegion(HWINEVENTHOOK, DWORD, HWND control, LONG object,
                                          LONG child, DWORD, DWORD);

    HWND window = nullptr;
    std::vector<CreatedControl> created;
    std::vector<int> barStates;
    std::vector<HWND> liveRegionChanges;  // of controls as a whole
    RecordingAnnotations annotations;
};

#endif
