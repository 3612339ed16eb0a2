// Runs the real updater window on the test's main thread while a driver thread acts on it from
// outside its message loop: finding windows, reading texts, clicking, answering boxes.
#ifndef ORVFLASH_TESTS_WINDOW_WINDOW_DRIVER_H
#define ORVFLASH_TESTS_WINDOW_WINDOW_DRIVER_H

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "taskbar_button.h"

// What the window passed when it created its log control.
struct CreatedControl {
    std::string className;
    DWORD style;
    RECT rect;
    UINT id;
    HWND parent;
};

// A work folder as the current directory, with an image and a simulated Kavix.
class WorkFolder {
public:
    explicit WorkFolder(std::size_t imageLength);
    ~WorkFolder();
    std::string Path(const char* name) const { return folder + "\\" + name; }

private:
    std::string previous;
    std::string folder;
};

class WindowDriver {
public:
    // Runs `drive` on a thread of its own while the main thread runs the updater window until it
    // closes. Ends the test program if the window does not close in time, so nothing hangs.
    // A taskbar button given takes the place of the shell's.
    static void Run(const std::function<void(WindowDriver&)>& drive,
                    TaskbarButton* taskbar = nullptr);

    HWND Window() const { return window; }
    HWND LogControl() const;
    std::string LogText() const;
    bool LogEndsWith(const std::string& end) const;
    int ProgressPos() const;
    // The states asked of the progress bar, in order. Recorded as they were sent: Wine's bar
    // reports PBST_NORMAL whatever it was told.
    std::vector<int> BarStates() const;
    const std::vector<CreatedControl>& Created() const { return created; }

    // The message box or dialog of the window's thread with this caption, once it shows.
    HWND WaitForBox(const char* caption);
    std::string BoxText(HWND box) const;
    // Clicks a button of a box and waits for the box to go.
    void Press(HWND box, int buttonId);
    void Click(int controlId);

    // Polls `condition` until it holds or the time runs out; false then.
    static bool WaitUntil(const std::function<bool()>& condition,
                          std::chrono::milliseconds timeout = std::chrono::seconds(20));

private:
    static LRESULT CALLBACK RecordCreation(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK RecordBarState(int code, WPARAM wParam, LPARAM lParam);

    HWND window = nullptr;
    DWORD windowThread = 0;
    std::vector<CreatedControl> created;
    std::vector<int> barStates;
};

#endif
