// Device contexts: CDC wraps an HDC it does not own; CPaintDC owns one for a WM_PAINT.
#ifndef ORV_AFX_DC_H
#define ORV_AFX_DC_H

#include <windows.h>

#include "afx_wnd.h"

class CDC {
public:
    CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }

    BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }

    HDC m_hDC = nullptr;
};

// BeginPaint in the constructor, EndPaint in the destructor: only inside a WM_PAINT handler.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd) : m_hWnd(wnd->m_hWnd) { m_hDC = ::BeginPaint(m_hWnd, &m_ps); }
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }

    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd;
};

#endif
