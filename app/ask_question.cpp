#include "ask_question.h"

#include <windows.h>

#include <cstring>

#include "format_text.h"

namespace {

const char kQuestionCaption[] = "Question";

BOOL CALLBACK DismissIfQuestion(HWND window, LPARAM) {
    char className[16] = {};
    char caption[sizeof kQuestionCaption + 1] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (std::strcmp(className, "#32770") == 0 && std::strcmp(caption, kQuestionCaption) == 0) {
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
    }
    return TRUE;
}

}  // namespace

int AskQuestionV(const char* format, va_list args) {
    if (format == nullptr) {
        return 0;
    }
    FormatBuffer text;
    FormatText(text, format, args);
    return MessageBoxA(nullptr, text, kQuestionCaption, MB_YESNO | MB_ICONQUESTION);
}

int AskQuestion(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int answer = AskQuestionV(format, args);
    va_end(args);
    return answer;
}

void DismissOpenQuestions() {
    EnumThreadWindows(GetCurrentThreadId(), DismissIfQuestion, 0);
}
