// The message log of the updater window.
#include <cstdarg>

#include "ask_question.h"
#include "assistive_technology.h"
#include "format_text.h"
#include "updater_dlg.h"

void CUpdaterDlg::AppendLog(const char* format, ...) {
    if (format == nullptr) {
        return;
    }
    FormatBuffer text;
    va_list args;
    va_start(args, format);
    FormatText(text, format, args);
    va_end(args);

    logText += text;
    logText += "\r\n";
    logCtrl.SetWindowText(logText);
    // The control stops at its last line, so this brings the end of the log into view.
    logCtrl.LineScroll(logCtrl.GetLineCount(), 0);
    AnnounceLine(logCtrl.GetSafeHwnd(), text);
}

int CUpdaterDlg::AskQuestion(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int answer = AskQuestionV(format, args);
    va_end(args);
    return answer;
}
