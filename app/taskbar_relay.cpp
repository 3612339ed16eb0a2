#include "taskbar_relay.h"

#include <commctrl.h>

#include "window_messages.h"

void TaskbarRelay::Attach(HWND parent, HWND control) {
    window = parent;
    bar = control;
}

void TaskbarRelay::SetRange(int newLow, int newHigh) {
    low = newLow;
    high = newHigh;
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(low, high));
}

void TaskbarRelay::SetPos(int position) {
    SendMessageA(bar, PBM_SETPOS, WPARAM(position), 0);
    SendMessageA(window, WM_PROGRESS_MOVED, WPARAM(position - low), LPARAM(high - low));
}

int TaskbarRelay::GetPos() {
    return int(SendMessageA(bar, PBM_GETPOS, 0, 0));
}

void TaskbarRelay::ProgressMoved(int completed, int total) {
    if (!showsProgress) {
        button.SetProgressState(window, TaskbarButton::Progress::normal);
        showsProgress = true;
    }
    button.SetProgressValue(window, completed, total);
}

void TaskbarRelay::RunEnded(bool succeeded) {
    if (succeeded) {
        button.SetProgressState(window, TaskbarButton::Progress::none);
    } else {
        // Both keep the position they reached.
        button.SetProgressState(window, TaskbarButton::Progress::error);
        SendMessageA(bar, PBM_SETSTATE, PBST_ERROR, 0);
    }
    // The user may have turned to another program during the run; the window's own boxes count
    // as the window.
    if (GetAncestor(GetForegroundWindow(), GA_ROOTOWNER) != window) {
        button.Flash(window);
    }
}
