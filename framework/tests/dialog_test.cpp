// One modal dialog runs a script of messages against its own message map, then closes itself
// through WM_CLOSE. Needs a display (the test run provides Xvfb).
#include "afx_dc.h"
#include "afx_dialog.h"
#include "afx_edit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "test_resources.h"

namespace {

enum : UINT { kStart = WM_APP + 1, kWorkerDone };
enum : UINT { kDefaultThenNested = WM_APP + 3, kNestedHandled, kNestedThenHandled, kNestedDefault };
constexpr UINT kAbout = 0x0010;

// Notification codes of the WM_COMMANDs from control 1 that reach the dialog, seen by a hook.
std::vector<UINT> g_codesFromId1;
HWND g_dialog = nullptr;

LRESULT CALLBACK WatchCommands(int code, WPARAM wParam, LPARAM lParam) {
    const CWPSTRUCT* m = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && m->hwnd == g_dialog && m->message == WM_COMMAND &&
        LOWORD(m->wParam) == 1) {
        g_codesFromId1.push_back(HIWORD(m->wParam));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

long Seen(UINT code) {
    return std::count(g_codesFromId1.begin(), g_codesFromId1.end(), code);
}

class TestDialog : public CDialog {
public:
    TestDialog() : CDialog(IDD_TEST_DIALOG) {}
    ~TestDialog() override {
        if (m_worker.joinable()) {
            m_worker.join();
        }
    }

    HICON icon = ::LoadIcon(nullptr, IDI_APPLICATION);
    int oks = 0, cancels = 0, closes = 0, paints = 0, goes = 0, abouts = 0, editUpdates = 0;
    bool gaveUp = false;
    // Filled by the worker thread, read after it is joined.
    LRESULT queryEndSessionSent = 0;
    DWORD_PTR queryEndSessionResult = 12345;

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        g_dialog = m_hWnd;
        // Two lines tall, so that scrolling has somewhere to go.
        m_edit.Create(
            WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL,
            RECT{5, 5, 200, 40}, this, 1);
        ::SetTimer(m_hWnd, 1, 20000, nullptr);  // gives up if the script stalls
        ::PostMessageA(m_hWnd, kStart, 0, 0);
        return TRUE;
    }
    void OnOK() override { ++oks; }  // counts only: the dialog stays
    void OnCancel() override {
        ++cancels;
        CDialog::OnCancel();
    }

    void OnClose() {
        ++closes;
        CDialog::OnClose();  // the dialog manager turns it into IDCANCEL
    }
    void OnPaint() {
        ++paints;
        EXPECT_FALSE(IsIconic());
        CPaintDC dc(this);
        dc.DrawIcon(0, 0, icon);
    }
    void OnSysCommand(UINT id, LPARAM lParam) {
        if ((id & 0xFFF0) == kAbout) {
            ++abouts;
        } else {
            CDialog::OnSysCommand(id, lParam);
        }
    }
    HCURSOR OnQueryDragIcon() { return static_cast<HCURSOR>(icon); }
    BOOL OnQueryEndSession() { return FALSE; }
    void OnGo() { ++goes; }
    void OnEditUpdate() { ++editUpdates; }

    LRESULT OnTimer(WPARAM, LPARAM) {
        gaveUp = true;
        EndDialog(-2);
        return 0;
    }
    LRESULT OnDefaultThenNested(WPARAM, LPARAM) {
        Default();
        EXPECT_EQ(7, SendMessage(kNestedHandled));
        return 42;
    }
    LRESULT OnNestedHandled(WPARAM, LPARAM) { return 7; }
    LRESULT OnNestedThenHandled(WPARAM, LPARAM) {
        SendMessage(kNestedDefault);
        return 43;
    }
    LRESULT OnNestedDefault(WPARAM, LPARAM) { return Default(); }

    LRESULT OnStart(WPARAM, LPARAM) {
        // The dialog manager shows the dialog only once its queue is idle; focus and painting need
        // it visible now.
        ::ShowWindow(m_hWnd, SW_SHOW);
        SetIcon(icon, TRUE);
        EXPECT_EQ(reinterpret_cast<LRESULT>(icon), SendMessage(WM_GETICON, ICON_BIG));

        CMenu* menu = GetSystemMenu(FALSE);
        EXPECT_NE(nullptr, menu);
        if (menu != nullptr) {
            int before = ::GetMenuItemCount(menu->m_hMenu);
            menu->AppendMenu(MF_SEPARATOR);
            menu->AppendMenu(MF_STRING, kAbout, "About...");
            EXPECT_EQ(before + 2, ::GetMenuItemCount(menu->m_hMenu));
        }
        SendMessage(WM_SYSCOMMAND, kAbout);

        // Real notifications from the edit (id 1), then forged ones: none is a click on OK.
        ::SetFocus(m_edit.m_hWnd);
        m_edit.SendMessage(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>("a\r\nb\r\nc"));
        EXPECT_EQ(3, m_edit.GetLineCount());
        for (int i = 0; i < 20; ++i) {
            m_edit.SendMessage(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>("\r\nline"));
        }
        m_edit.SendMessage(EM_SETSEL, 0, 0);
        m_edit.SendMessage(EM_SCROLLCARET);
        m_edit.LineScroll(5);
        EXPECT_EQ(5, m_edit.SendMessage(EM_GETFIRSTVISIBLELINE));
        HWND go = ::GetDlgItem(m_hWnd, IDC_TEST_GO);
        ::SetFocus(go);
        for (UINT code : {EN_SETFOCUS, EN_KILLFOCUS, EN_CHANGE, EN_UPDATE, EN_VSCROLL}) {
            SendMessage(WM_COMMAND, MAKEWPARAM(1, code), reinterpret_cast<LPARAM>(m_edit.m_hWnd));
        }
        EXPECT_EQ(0, oks);
        SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED));  // this one is
        EXPECT_EQ(1, oks);

        ::SendMessageA(go, BM_CLICK, 0, 0);
        EXPECT_EQ(1, goes);

        EXPECT_EQ(reinterpret_cast<LRESULT>(icon), SendMessage(WM_QUERYDRAGICON));
        // Default() belongs to the message whose handler called it, not to one nested inside.
        EXPECT_EQ(0, SendMessage(kDefaultThenNested));   // DefWindowProc's answer, not 42
        EXPECT_EQ(43, SendMessage(kNestedThenHandled));  // via DWLP_MSGRESULT

        ::InvalidateRect(m_hWnd, nullptr, TRUE);
        ::UpdateWindow(m_hWnd);
        EXPECT_GE(paints, 1);  // UpdateWindow painted through the map

        // Another thread asks, as the session manager would.
        m_worker = std::thread([this] {
            queryEndSessionSent = ::SendMessageTimeoutA(m_hWnd, WM_QUERYENDSESSION, 0, 0,
                                                        SMTO_NORMAL, 5000, &queryEndSessionResult);
            ::PostMessageA(m_hWnd, kWorkerDone, 0, 0);
        });
        return 0;
    }
    LRESULT OnWorkerDone(WPARAM, LPARAM) {
        m_worker.join();
        ::PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
        return 0;
    }

    DECLARE_MESSAGE_MAP()

private:
    CEdit m_edit;
    std::thread m_worker;
};

BEGIN_MESSAGE_MAP(TestDialog, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_WM_CLOSE()
ON_WM_QUERYENDSESSION()
ON_BN_CLICKED(IDC_TEST_GO, &TestDialog::OnGo)
ON_CONTROL(EN_UPDATE, 1, &TestDialog::OnEditUpdate)
ON_MESSAGE(WM_TIMER, &TestDialog::OnTimer)
ON_MESSAGE(kStart, &TestDialog::OnStart)
ON_MESSAGE(kWorkerDone, &TestDialog::OnWorkerDone)
ON_MESSAGE(kDefaultThenNested, &TestDialog::OnDefaultThenNested)
ON_MESSAGE(kNestedHandled, &TestDialog::OnNestedHandled)
ON_MESSAGE(kNestedThenHandled, &TestDialog::OnNestedThenHandled)
ON_MESSAGE(kNestedDefault, &TestDialog::OnNestedDefault)
END_MESSAGE_MAP()

TEST(CDialog, RunsItsMessageMap) {
    HHOOK hook =
        ::SetWindowsHookExA(WH_CALLWNDPROC, &WatchCommands, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(nullptr, hook);
    TestDialog dlg;
    INT_PTR result = dlg.DoModal();
    ::UnhookWindowsHookEx(hook);

    ASSERT_FALSE(dlg.gaveUp);
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(nullptr, dlg.m_hWnd);  // cleared at WM_NCDESTROY
    // WM_CLOSE -> OnClose -> Default -> the dialog manager's IDCANCEL -> OnCancel.
    EXPECT_EQ(1, dlg.closes);
    EXPECT_EQ(1, dlg.cancels);
    EXPECT_EQ(1, dlg.abouts);

    // The edit's own notifications did arrive as WM_COMMAND id 1.
    EXPECT_GE(Seen(EN_SETFOCUS), 2);
    EXPECT_GE(Seen(EN_KILLFOCUS), 2);
    EXPECT_GE(Seen(EN_CHANGE), 2);
    EXPECT_GT(dlg.editUpdates, 1);
    EXPECT_EQ(1, Seen(BN_CLICKED));
    EXPECT_EQ(1, dlg.oks);

    EXPECT_NE(0, dlg.queryEndSessionSent);
    EXPECT_EQ(0u, dlg.queryEndSessionResult);  // FALSE via DWLP_MSGRESULT
}

}  // namespace
