// printf-style formatting into the fixed buffer of the log lines and the questions.
#ifndef ORVFLASH_UPDATE_FORMAT_TEXT_H
#define ORVFLASH_UPDATE_FORMAT_TEXT_H

#include <cstdarg>
#include <cstddef>

constexpr std::size_t kFormatBufferSize = 1024;
using FormatBuffer = char[kFormatBufferSize];

// Formats `format` with `args` into `buffer`. A text longer than 1,023 characters is cut there;
// nothing is ever written past the buffer, and the result is always terminated.
void FormatText(FormatBuffer& buffer, const char* format, va_list args);

#endif
