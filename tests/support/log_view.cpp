#include "log_view.h"

namespace {

bool Ask(HWND window, UINT message, WPARAM wParam, LRESULT& answer) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, 0, SMTO_NORMAL, 20000, &result)) {
        return false;
    }
    answer = LRESULT(result);
    return true;
}

}  // namespace

bool LastLineInView(HWND log) {
    // The last line is the empty one after the final "\r\n"; the one before it has characters.
    LRESULT lines = 0, start = 0, at = -1;
    if (!Ask(log, EM_GETLINECOUNT, 0, lines) ||
        !Ask(log, EM_LINEINDEX, WPARAM(lines > 1 ? lines - 2 : 0), start) ||
        !Ask(log, EM_POSFROMCHAR, WPARAM(start), at)) {
        return false;
    }
    RECT client = {};
    GetClientRect(log, &client);
    const int y = short(HIWORD(at));
    return at != -1 && y >= 0 && y < client.bottom;
}
