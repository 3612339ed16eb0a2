// CDialog: a modal dialog from a dialog template resource, its messages dispatched through the
// message map.
#ifndef ORV_AFX_DIALOG_H
#define ORV_AFX_DIALOG_H

#include <windows.h>

#include "afx_msgmap.h"
#include "afx_winapp.h"
#include "afx_wnd.h"

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate)
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}

    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
};

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr)
        : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

    // Runs the dialog until EndDialog; returns its result, or -1 if it could not be created.
    // Without a parent the dialog is modal to the application's main window, if that is open.
    virtual INT_PTR DoModal() {
        CWnd* owner = m_pParentWnd;
        if (owner == nullptr && AfxGetApp() != nullptr && AfxGetApp()->m_pMainWnd != this) {
            owner = AfxGetApp()->m_pMainWnd;
        }
        return ::DialogBoxParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDTemplate),
                                 owner ? owner->m_hWnd : nullptr, &DialogProc,
                                 reinterpret_cast<LPARAM>(this));
    }

    void EndDialog(int result) { ::EndDialog(m_hWnd, result); }

    BOOL UpdateData(BOOL saveAndValidate = TRUE) {
        CDataExchange dx(this, saveAndValidate);
        DoDataExchange(&dx);
        return TRUE;
    }

protected:
    virtual void DoDataExchange(CDataExchange*) {}
    virtual BOOL OnInitDialog() {
        UpdateData(FALSE);
        return TRUE;  // the dialog manager sets the focus
    }
    virtual void OnOK() {
        if (UpdateData(TRUE)) {
            EndDialog(IDOK);
        }
    }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    static const AFX_MSGMAP* GetThisMessageMap() {
        static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, nullptr}};
        static const AFX_MSGMAP map = {&CWnd::GetThisMessageMap, entries};
        return &map;
    }
    const AFX_MSGMAP* GetMessageMap() const override { return GetThisMessageMap(); }

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

inline INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        CDialog* self = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd = hwnd;
        return self->OnInitDialog();
    }
    // Null for the few messages (WM_SETFONT...) that come before WM_INITDIALOG.
    CDialog* self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
    if (self == nullptr) {
        return FALSE;
    }
    return self->Dispatch(hwnd, message, wParam, lParam);
}

inline INT_PTR CDialog::Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    UINT code = 0;
    UINT id = 0;
    if (message == WM_COMMAND) {
        code = HIWORD(wParam);
        id = LOWORD(wParam);
    }

    const bool outerDefault = m_defaultRequested;
    m_defaultRequested = false;
    bool handled = false;
    LRESULT result = 0;
    if (const AFX_MSGMAP_ENTRY* entry = AfxFindMessageEntry(GetMessageMap(), message, code, id)) {
        result = entry->pfn(this, wParam, lParam);
        handled = !m_defaultRequested;
    } else if (message == WM_COMMAND && code == BN_CLICKED && id == IDOK) {
        // Only a click: other notifications from a control whose id is also 1 are not "OK".
        OnOK();
        handled = true;
    } else if (message == WM_COMMAND && code == BN_CLICKED && id == IDCANCEL) {
        OnCancel();
        handled = true;
    }
    m_defaultRequested = outerDefault;

    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        m_hWnd = nullptr;
    }
    if (!handled) {
        return FALSE;  // the dialog manager does its default processing
    }
    switch (message) {
        // The dialog procedure's own return value is these messages' result.
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
        case WM_INITDIALOG:
            return static_cast<INT_PTR>(result);
        default:
            ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
            return TRUE;
    }
}

#endif
