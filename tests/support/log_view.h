// What a multi-line edit control shows, asked with a timeout, so that it serves for a window of
// this process and of another alike (Windows only).
#ifndef ORVFLASH_TESTS_SUPPORT_LOG_VIEW_H
#define ORVFLASH_TESTS_SUPPORT_LOG_VIEW_H

#include <windows.h>

// Whether the last line of `log`, a text that ends in "\r\n", lies within the control's client
// area; false too if the control does not answer.
bool LastLineInView(HWND log);

#endif
