#include "format_text.h"

#include <cstdio>

void FormatText(FormatBuffer& buffer, const char* format, va_list args) {
    // vsnprintf truncates where vsprintf_s would abort the program on an over-long text.
    int written = std::vsnprintf(buffer, kFormatBufferSize, format, args);
    if (written < 0) {
        buffer[0] = '\0';
    }
    buffer[kFormatBufferSize - 1] = '\0';
}
