// The updater window's own messages: what the worker thread and the shell tell the window's thread.
#ifndef ORVFLASH_APP_WINDOW_MESSAGES_H
#define ORVFLASH_APP_WINDOW_MESSAGES_H

#include <windows.h>

// The run's progress moved: wParam the position above the bar's low end, lParam the bar's span.
constexpr UINT WM_PROGRESS_MOVED = WM_APP + 1;
// The run has ended, its last device call made: wParam nonzero if it succeeded.
constexpr UINT WM_RUN_ENDED = WM_APP + 2;
// The shell has made the window's taskbar button, or made it again after Explorer restarted.
inline const UINT WM_TASKBAR_BUTTON_CREATED = RegisterWindowMessageA("TaskbarButtonCreated");

#endif
