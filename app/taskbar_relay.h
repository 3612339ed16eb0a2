// The run as the taskbar button and the bar's state show it. The worker moves the bar through the
// relay, by messages, and the relay tells the window; the window's thread, the only one that may
// call the shell object, then follows on the button.
#ifndef ORVFLASH_APP_TASKBAR_RELAY_H
#define ORVFLASH_APP_TASKBAR_RELAY_H

#include <windows.h>

#include "taskbar_button.h"
#include "update_run_window.h"

class TaskbarRelay : public ProgressBar {
public:
    explicit TaskbarRelay(TaskbarButton& button) : button(button) {}

    // The window to tell and its bar, on the window's thread before the worker starts.
    void Attach(HWND window, HWND bar);

    // ProgressBar, on the worker.
    void SetRange(int low, int high) override;
    void SetPos(int position) override;
    int GetPos() override;

    // On the window's thread, from the window's messages.
    void ButtonCreated() { button.ButtonCreated(); }
    void ProgressMoved(int completed, int total);
    void RunEnded(bool succeeded);

private:
    TaskbarButton& button;
    HWND window = nullptr;
    HWND bar = nullptr;
    int low = 0;
    int high = 100;
    bool showsProgress = false;
};

#endif
