#include "desktop.h"

#include <vector>

namespace e2e {

namespace {

// Generous: a loaded machine, or Wine setting up fonts for a new prefix, can keep a window busy.
constexpr UINT kAnswerTimeoutMs = 20000;

}  // namespace

DWORD ProcessOfWindow(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

HWND FindTopWindow(DWORD processId, const char* className, const char* caption) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, className, caption)) != nullptr) {
        if (ProcessOfWindow(window) == processId && IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kAnswerTimeoutMs,
                             &result)) {
        throw DriverError("window " + std::to_string(reinterpret_cast<uintptr_t>(window)) +
                          " did not answer message " + std::to_string(message));
    }
    return LRESULT(result);
}

std::string WindowText(HWND window) {
    const LRESULT length = SendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0);
    std::vector<char> text(std::size_t(length) + 1, '\0');
    const LRESULT got = SendWithTimeout(window, WM_GETTEXT, WPARAM(text.size()),
                                        reinterpret_cast<LPARAM>(text.data()));
    return std::string(text.data(), std::size_t(got));
}

void Click(HWND button) {
    if (button == nullptr || !PostMessageA(button, BM_CLICK, 0, 0)) {
        throw DriverError("could not click a button");
    }
}

std::string WindowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/') {
        return path;
    }
    std::string windows = "Z:" + path;
    for (char& c : windows) {
        if (c == '/') {
            c = '\\';
        }
    }
    return windows;
}

}  // namespace e2e
