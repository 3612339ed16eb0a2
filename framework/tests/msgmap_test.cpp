// Map lookup and chaining, without any window. The dialog test covers the real dispatch.
#include "afx_msgmap.h"
#include "afx_wnd.h"

#include <gtest/gtest.h>

namespace {

class Base : public CWnd {
public:
    int closes = 0, clicks = 0;
    LRESULT OnApp(WPARAM, LPARAM) { return 1; }
    void OnClose() { ++closes; }
    void OnClickedGo() { ++clicks; }
    const AFX_MSGMAP* Map() const { return GetMessageMap(); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Base, CWnd)
ON_WM_CLOSE()
ON_BN_CLICKED(100, &Base::OnClickedGo)
ON_MESSAGE(WM_APP, &Base::OnApp)
END_MESSAGE_MAP()

class Derived : public Base {
public:
    int changes = 0;
    UINT sysId = 0;
    LPARAM sysParam = 0, appL = 0;
    LRESULT OnApp(WPARAM, LPARAM l) {
        appL = l;
        return 2;
    }
    void OnChanged() { ++changes; }
    void OnSysCommand(UINT id, LPARAM l) {
        sysId = id;
        sysParam = l;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Derived, Base)
ON_MESSAGE(WM_APP, &Derived::OnApp)
ON_CONTROL(EN_CHANGE, 100, &Derived::OnChanged)
ON_WM_SYSCOMMAND()
END_MESSAGE_MAP()

LRESULT Send(Derived& w, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    UINT code = message == WM_COMMAND ? HIWORD(wParam) : 0;
    UINT id = message == WM_COMMAND ? LOWORD(wParam) : 0;
    const AFX_MSGMAP_ENTRY* e = AfxFindMessageEntry(w.Map(), message, code, id);
    return e ? e->pfn(&w, wParam, lParam) : -1;
}

TEST(MessageMap, FindsDerivedEntriesFirstThenBase) {
    Derived w;
    EXPECT_EQ(2, Send(w, WM_APP, 0, -8));
    EXPECT_EQ(-8, w.appL);
    EXPECT_EQ(0, Send(w, WM_CLOSE));
    EXPECT_EQ(1, w.closes);
    EXPECT_EQ(-1, Send(w, WM_PAINT));  // in no map, CWnd's included

    // Commands match the id and the notification code; WM_SYSCOMMAND gets both arguments.
    Send(w, WM_COMMAND, MAKEWPARAM(100, BN_CLICKED));
    Send(w, WM_COMMAND, MAKEWPARAM(100, EN_CHANGE));
    EXPECT_EQ(1, w.clicks);
    EXPECT_EQ(1, w.changes);
    EXPECT_EQ(-1, Send(w, WM_COMMAND, MAKEWPARAM(100, EN_KILLFOCUS)));
    EXPECT_EQ(-1, Send(w, WM_COMMAND, MAKEWPARAM(101, BN_CLICKED)));
    Send(w, WM_SYSCOMMAND, SC_CLOSE, MAKELPARAM(3, 4));
    EXPECT_EQ(static_cast<UINT>(SC_CLOSE), w.sysId);
    EXPECT_EQ(MAKELPARAM(3, 4), w.sysParam);
}

}  // namespace
