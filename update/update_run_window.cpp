#include "update_run_window.h"

#include <cstdarg>

#include "format_text.h"

void UpdateRunWindow::AppendLog(const char* format, ...) {
    if (format == nullptr) {
        return;
    }
    FormatBuffer text;
    va_list args;
    va_start(args, format);
    FormatText(text, format, args);
    va_end(args);
    AppendLine(text);
}

int UpdateRunWindow::AskQuestion(Question kind, const char* format, ...) {
    if (format == nullptr) {
        return 0;
    }
    FormatBuffer text;
    va_list args;
    va_start(args, format);
    FormatText(text, format, args);
    va_end(args);
    return Ask(text, kind);
}
