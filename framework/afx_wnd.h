// CWnd: a window handle and the operations the program performs on it.
#ifndef ORV_AFX_WND_H
#define ORV_AFX_WND_H

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>

#include "afx_menu.h"
#include "afx_msgmap.h"
#include "afx_string.h"
#include "afx_winapp.h"

class CWnd {
public:
    CWnd() = default;
    // Never destroys the window: a control goes with its parent, a dialog with EndDialog.
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The child control `id`, or null. The object returned is kept by this CWnd, one per child
    // window, and stays valid until this CWnd is destroyed, whichever thread asks and however
    // often. It is a plain CWnd, never the control's own C++ object: do not downcast it.
    CWnd* GetDlgItem(int id) const;

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }

    void SetWindowText(LPCSTR text) { ::SetWindowTextA(m_hWnd, text); }
    int GetWindowText(LPSTR buffer, int size) const {
        return ::GetWindowTextA(m_hWnd, buffer, size);
    }
    void GetWindowText(CString& text) const;

    // A message box owned by this window.
    int MessageBox(LPCSTR text, LPCSTR caption = nullptr, UINT type = MB_OK) const {
        return ::MessageBoxA(m_hWnd, text, caption, type);
    }

    // The window's system menu (null if it has none, or when reverting). The CMenu is a member
    // of this CWnd; the menu itself belongs to the window.
    CMenu* GetSystemMenu(BOOL revert) const {
        m_systemMenu.m_hMenu = ::GetSystemMenu(m_hWnd, revert);
        return m_systemMenu.m_hMenu ? &m_systemMenu : nullptr;
    }

    // Returns the previous icon of that size.
    HICON SetIcon(HICON icon, BOOL big) {
        return reinterpret_cast<HICON>(::SendMessageA(
            m_hWnd, WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
    }

    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }

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

private:
    mutable CMenu m_systemMenu;
    mutable std::mutex m_childrenLock;
    mutable std::map<HWND, std::unique_ptr<CWnd>> m_children;
};

inline CWnd* CWnd::GetDlgItem(int id) const {
    HWND child = ::GetDlgItem(m_hWnd, id);
    if (child == nullptr) {
        return nullptr;
    }
    // Keyed by handle and never changed once made, so a pointer handed out stays right even if
    // the control is later recreated under the same id.
    std::lock_guard<std::mutex> lock(m_childrenLock);
    std::unique_ptr<CWnd>& entry = m_children[child];
    if (!entry) {
        entry = std::make_unique<CWnd>();
        entry->m_hWnd = child;
    }
    return entry.get();
}

inline void CWnd::GetWindowText(CString& text) const {
    int length = ::GetWindowTextLengthA(m_hWnd);
    std::string buffer(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
    int n = ::GetWindowTextA(m_hWnd, &buffer[0], static_cast<int>(buffer.size()));
    buffer.resize(static_cast<size_t>(n > 0 ? n : 0));
    text = buffer.c_str();
}

#endif
