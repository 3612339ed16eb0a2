// CWnd: a window handle and the operations the program performs on it. Its state is the handle and
// one flag for its message map; unlike WTL's CWindow it is virtual, for the message map's lookup
// and the dialogs' overrides. Another thread reaches a window, or a child control, by its handle.
#ifndef ORV_AFX_WND_H
#define ORV_AFX_WND_H

#include <windows.h>

#include "afx_menu.h"
#include "afx_msgmap.h"
#include "afx_winapp.h"

class CWnd {
public:
    CWnd() = default;
    // Never destroys the window: a control goes with its parent, a dialog with EndDialog.
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }

    void SetWindowText(LPCSTR text) { ::SetWindowTextA(m_hWnd, text); }

    // A message box owned by this window.
    int MessageBox(LPCSTR text, LPCSTR caption = nullptr, UINT type = MB_OK) const {
        return ::MessageBoxA(m_hWnd, text, caption, type);
    }

    // The window's system menu (null if it has none, or when reverting). As in MFC the CMenu is
    // temporary: it holds the handle until the calling thread's next call. The menu itself
    // belongs to the window.
    CMenu* GetSystemMenu(BOOL revert) const {
        static thread_local CMenu menu;
        menu.m_hMenu = ::GetSystemMenu(m_hWnd, revert);
        return menu.m_hMenu ? &menu : nullptr;
    }

    // Returns the previous icon of that size.
    HICON SetIcon(HICON icon, BOOL big) {
        return reinterpret_cast<HICON>(::SendMessageA(
            m_hWnd, WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
    }

    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }

    // Creates a child window with this object as its wrapper.
    BOOL Create(LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                UINT id) {
        m_hWnd = ::CreateWindowExA(
            0, className, windowName, style, rect.left, rect.top, rect.right - rect.left,
            rect.bottom - rect.top, parent ? parent->m_hWnd : nullptr,
            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), AfxGetInstanceHandle(), nullptr);
        return m_hWnd != nullptr;
    }

    // Called from a message handler: once it returns, the message also gets the window's
    // default processing (for a dialog, the dialog manager's), and the handler's return value
    // is not used. Returns 0: the default result is not known yet.
    LRESULT Default() {
        m_defaultRequested = true;
        return 0;
    }

    HWND m_hWnd = nullptr;

protected:
    // Base handlers: each asks for the default processing.
    void OnSysCommand(UINT, LPARAM) { Default(); }
    void OnPaint() { Default(); }
    HCURSOR OnQueryDragIcon() {
        Default();
        return nullptr;
    }
    void OnClose() { Default(); }
    BOOL OnQueryEndSession() {
        Default();
        return TRUE;
    }

    static const AFX_MSGMAP* GetThisMessageMap() {
        static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, nullptr}};
        static const AFX_MSGMAP map = {nullptr, entries};
        return &map;
    }
    virtual const AFX_MSGMAP* GetMessageMap() const { return GetThisMessageMap(); }

    // Set by Default() during one dispatch; the dispatcher saves and restores it around each
    // message, since handlers may run nested message loops.
    bool m_defaultRequested = false;
};

#endif
