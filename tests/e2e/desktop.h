// Reaching another process's windows from outside.
#ifndef ORVFLASH_TESTS_E2E_DESKTOP_H
#define ORVFLASH_TESTS_E2E_DESKTOP_H

#include <windows.h>

#include <stdexcept>
#include <string>

#include "bounded_wait.h"

namespace e2e {

// A wait that ran out, or a window that could not be reached: the scenario cannot go on.
struct DriverError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

DWORD ProcessOfWindow(HWND window);

// A top-level window of process `processId` with this caption (and class, unless null).
HWND FindTopWindow(DWORD processId, const char* className, const char* caption);

// The text of another process's window, through WM_GETTEXT with a timeout.
std::string WindowText(HWND window);

// Sends `message` with a timeout; throws if the window does not answer.
LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A click on a button. Posted: the click may open a modal box, and the caller must not wait for it.
void Click(HWND button);

// "Z:\tmp\x" for "/tmp/x"; Windows paths are returned unchanged.
std::string WindowsPath(const std::string& path);

}  // namespace e2e

#endif
