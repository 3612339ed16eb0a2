// The progress bar of the updater window, driven by window messages, so that the worker thread can
// move it while the user-interface thread owns it.
#ifndef ORVFLASH_APP_PROGRESS_BAR_CONTROL_H
#define ORVFLASH_APP_PROGRESS_BAR_CONTROL_H

#include <windows.h>
#include <commctrl.h>

#include "update_run_window.h"

// Sent to the bar's parent after each move, so that the parent's thread can follow the bar.
const UINT WM_PROGRESS_MOVED = WM_APP + 2;

class ProgressBarControl : public ProgressBar {
public:
    void Attach(HWND control) { window = control; }

    void SetRange(int low, int high) override {
        SendMessageA(window, PBM_SETRANGE, 0, MAKELPARAM(low, high));
    }
    void SetPos(int position) override {
        SendMessageA(window, PBM_SETPOS, WPARAM(position), 0);
        SendMessageA(GetParent(window), WM_PROGRESS_MOVED, 0, 0);
    }
    int GetPos() override { return int(SendMessageA(window, PBM_GETPOS, 0, 0)); }

private:
    HWND window = nullptr;
};

#endif
