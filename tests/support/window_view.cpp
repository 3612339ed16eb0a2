#include "window_view.h"

#include <commctrl.h>

#include "bounded_wait.h"

namespace kavix_test {

namespace {

// Generous: a loaded machine, or Wine setting up fonts for a new prefix, can keep a window busy.
constexpr UINT kAnswerTimeoutMs = 20000;
// Wine and Windows both give a message box's text control this id.
constexpr int kMessageBoxText = 0xFFFF;

}  // namespace

HWND FindBox(DWORD processId, const char* caption) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, "#32770", caption)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kAnswerTimeoutMs,
                             &result)) {
        throw WindowError("a window did not answer message " + std::to_string(message));
    }
    return LRESULT(result);
}

std::string WindowText(HWND window) {
    std::string text(std::size_t(Send(window, WM_GETTEXTLENGTH)) + 1, '\0');
    text.resize(std::size_t(Send(window, WM_GETTEXT, text.size(), LPARAM(&text[0]))));
    return text;
}

Lines LogLines(HWND log) {
    return LinesOf(WindowText(log));
}

bool LastLineInView(HWND log) {
    // The last line is the empty one after the final "\r\n"; the one before it has characters.
    const LRESULT lines = Send(log, EM_GETLINECOUNT);
    const LRESULT start = Send(log, EM_LINEINDEX, WPARAM(lines > 1 ? lines - 2 : 0));
    const LRESULT at = Send(log, EM_POSFROMCHAR, WPARAM(start));
    RECT client = {};
    GetClientRect(log, &client);
    const int y = short(HIWORD(at));
    return at != -1 && y >= 0 && y < client.bottom;
}

Box WaitForBox(DWORD processId, const char* caption, unsigned long timeoutMs) {
    Box box;
    if (!WaitUntil([&] { return (box.window = FindBox(processId, caption)) != nullptr; },
                   timeoutMs)) {
        return box;
    }
    box.owner = GetWindow(box.window, GW_OWNER);
    // The box may still be filling in its text just after it became visible.
    WaitUntil(
        [&] {
            HWND text = GetDlgItem(box.window, kMessageBoxText);
            box.text = text ? WindowText(text) : "";
            return text == nullptr || !box.text.empty();
        },
        timeoutMs);
    for (HWND child = GetWindow(box.window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        char className[16] = {};
        GetClassNameA(child, className, sizeof className);
        if (!IsWindowVisible(child)) {
            continue;
        } else if (_stricmp(className, "Button") == 0) {
            box.buttons.push_back(GetDlgCtrlID(child));
            if ((GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
                box.defaultButton = GetDlgCtrlID(child);
            }
        } else if (_stricmp(className, "Static") == 0 &&
                   (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            box.icon = box.icon || Send(child, STM_GETICON) != 0;
        }
    }
    return box;
}

}  // namespace kavix_test
