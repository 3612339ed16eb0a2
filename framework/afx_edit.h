// CEdit: an edit control created in code.
#ifndef ORV_AFX_EDIT_H
#define ORV_AFX_EDIT_H

#include <windows.h>

#include "afx_wnd.h"

class CEdit : public CWnd {
public:
    // No font is assigned: the control keeps the system font.
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
        return CWnd::Create("EDIT", "", style, rect, parent, id);
    }

    int GetLineCount() const { return static_cast<int>(SendMessage(EM_GETLINECOUNT)); }
    BOOL LineScroll(int lines, int chars = 0) {
        return static_cast<BOOL>(SendMessage(EM_LINESCROLL, static_cast<WPARAM>(chars), lines));
    }
};

#endif
