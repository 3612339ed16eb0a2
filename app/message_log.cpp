#include "message_log.h"

#include "assistive_technology.h"

void MessageLog::Create(CWnd* parent, const RECT& rect) {
    logCtrl.Create(
        WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_WANTRETURN,
        rect, parent, 1);
    logText = "";
}

void MessageLog::Append(const char* text) {
    logText += text;
    logText += "\r\n";
    logCtrl.SetWindowText(logText);
    // The control stops at its last line, so this brings the end of the log into view.
    logCtrl.LineScroll(logCtrl.GetLineCount(), 0);
    AnnounceLine(logCtrl.GetSafeHwnd(), text);
}
