#include "question_box.h"

#include <windows.h>

#include <cstring>

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

int ShowQuestion(const char* text, bool defaultNo) {
    return MessageBoxA(nullptr, text, kQuestionCaption,
                       MB_YESNO | MB_ICONQUESTION | (defaultNo ? MB_DEFBUTTON2 : 0));
}

void DismissOpenQuestions() {
    EnumThreadWindows(GetCurrentThreadId(), DismissIfQuestion, 0);
}
