// What the tests read of the updater's windows, in this process or another alike: every message is
// sent with a timeout, and a window that does not answer throws (Windows only).
#ifndef ORVFLASH_TESTS_SUPPORT_WINDOW_VIEW_H
#define ORVFLASH_TESTS_SUPPORT_WINDOW_VIEW_H

#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "expected_text.h"

namespace kavix_test {

// A window that does not answer, or a wait that ran out: the test cannot go on.
struct WindowError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
std::string WindowText(HWND window);

// The message log's lines, without their "\r\n".
Lines LogLines(HWND log);
// Whether the last line of `log`, a text that ends in "\r\n", lies within the control's client
// area.
bool LastLineInView(HWND log);

// A message box or dialog as the user sees it.
struct Box {
    HWND window = nullptr;
    HWND owner = nullptr;
    std::string text;
    std::vector<int> buttons;  // the ids of the visible ones, in window order
    int defaultButton = 0;     // the one Enter presses
    bool icon = false;         // a visible icon shows
};

// The visible dialog or message box of `processId` with this caption, or null.
HWND FindBox(DWORD processId, const char* caption);
// The box, once it shows and has its text; a null window if none did within `timeoutMs`.
Box WaitForBox(DWORD processId, const char* caption, unsigned long timeoutMs);

}  // namespace kavix_test

#endif
