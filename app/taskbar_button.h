// The updater's button on the taskbar: the run's progress and a call for attention. Called on the
// user-interface thread only, like the shell object it stands for.
#ifndef ORVFLASH_APP_TASKBAR_BUTTON_H
#define ORVFLASH_APP_TASKBAR_BUTTON_H

#include <windows.h>

class TaskbarButton {
public:
    enum class Progress { none, normal, error };

    // The shell has made the window's button, or made it again after Explorer restarted: only now
    // does it take the calls below.
    virtual void ButtonCreated() = 0;

    virtual void SetProgressState(HWND window, Progress state) = 0;
    virtual void SetProgressValue(HWND window, int completed, int total) = 0;
    // Flashes the button until the window comes to the front.
    virtual void Flash(HWND window) = 0;

protected:
    ~TaskbarButton() = default;
};

#endif
