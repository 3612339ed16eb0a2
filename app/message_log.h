// The message log: the read-only text area of the updater window, where every result of a run is
// told, and what screen readers hear of it.
#ifndef ORVFLASH_APP_MESSAGE_LOG_H
#define ORVFLASH_APP_MESSAGE_LOG_H

#include "afx_edit.h"
#include "afx_string.h"

class MessageLog {
public:
    // Creates the control, empty, at `rect` in `parent`.
    void Create(CWnd* parent, const RECT& rect);
    // Appends `text` and "\r\n", brings the end of the log into view and announces the line. Any
    // thread: the control is reached by messages.
    void Append(const char* text);

    HWND Control() const { return logCtrl.GetSafeHwnd(); }

private:
    CString logText;
    CEdit logCtrl;
};

#endif
