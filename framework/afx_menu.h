// CMenu: a menu handle. It does not own the menu: the only menu the program touches is a window's
// system menu, which belongs to the window.
#ifndef ORV_AFX_MENU_H
#define ORV_AFX_MENU_H

#include <windows.h>

class CMenu {
public:
    BOOL AppendMenu(UINT flags, UINT_PTR id = 0, LPCSTR text = nullptr) {
        return ::AppendMenuA(m_hMenu, flags, id, text);
    }

    HMENU m_hMenu = nullptr;
};

#endif
