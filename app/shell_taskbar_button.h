// The taskbar button through the shell's ITaskbarList3. Where COM or the object is missing (older
// Windows, some Wine versions) the progress calls do nothing; flashing needs neither.
#ifndef ORVFLASH_APP_SHELL_TASKBAR_BUTTON_H
#define ORVFLASH_APP_SHELL_TASKBAR_BUTTON_H

#include "taskbar_button.h"

struct ITaskbarList3;

class ShellTaskbarButton : public TaskbarButton {
public:
    ShellTaskbarButton() = default;
    ShellTaskbarButton(const ShellTaskbarButton&) = delete;
    ShellTaskbarButton& operator=(const ShellTaskbarButton&) = delete;
    ~ShellTaskbarButton();

    void ButtonCreated() override;

    void SetProgressState(HWND window, Progress state) override;
    void SetProgressValue(HWND window, int completed, int total) override;
    void Flash(HWND window) override;

private:
    void Release();

    ITaskbarList3* taskbar = nullptr;
    bool comInitialized = false;
};

#endif
