#include "updater_dlg.h"

#include <memory>

#include "about_dlg.h"
#include "afx_dc.h"
#include "afx_menu.h"
#include "afx_winapp.h"
#include "image_file.h"
#include "resource.h"
#include "saved_copy_folder.h"

namespace {

// Posted by the worker when it has ended, so that the user-interface thread, which registered the
// shutdown block, can remove it.
const UINT WM_WORKER_FINISHED = WM_APP + 1;

const char* const kWelcome[] = {
    "Welcome to the Kavix firmware updater. Before beginning, ensure the",
    "Kavix is connected to your computer and displays a solid green LED. Please",
    "allow up to two minutes for the program to complete once started. During",
    "this time, do not unplug the Kavix for any reason. It is advised all other",
    "programs are closed before beginning. Failure to adhere to this advice may",
    "leave the Kavix in an un-operational state.",
    "",
    "When you are ready, click the \"Update\" button",
    "",
};

}  // namespace

CUpdaterDlg::CUpdaterDlg(TaskbarButton* taskbar, SessionGuard* session)
    : CDialog(IDD_UPDATER, nullptr),
      updateRun(*this, std::make_unique<CImageFile>(), std::make_unique<CSavedCopyFolder>()),
      windowIcon(::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      taskbar(taskbar != nullptr ? *taskbar : shellTaskbar),
      session(session != nullptr ? *session : systemSession) {}

BEGIN_MESSAGE_MAP(CUpdaterDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_UPDATE, &CUpdaterDlg::OnBnClickedUpdate)
ON_WM_CLOSE()
ON_WM_QUERYENDSESSION()
ON_MESSAGE(WM_WORKER_FINISHED, &CUpdaterDlg::OnWorkerFinished)
ON_MESSAGE(WM_TASKBAR_BUTTON_CREATED, &CUpdaterDlg::OnTaskbarButtonCreated)
ON_MESSAGE(WM_PROGRESS_MOVED, &CUpdaterDlg::OnProgressMoved)
ON_MESSAGE(WM_RUN_ENDED, &CUpdaterDlg::OnRunEndedMessage)
END_MESSAGE_MAP()

void CUpdaterDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
}

BOOL CUpdaterDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (CMenu* sysMenu = GetSystemMenu(FALSE)) {
        CString aboutMenu;
        aboutMenu.LoadString(IDS_ABOUTBOX);
        if (!aboutMenu.IsEmpty()) {
            sysMenu->AppendMenu(MF_SEPARATOR);
            sysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, aboutMenu);
        }
    }

    SetIcon(windowIcon, TRUE);
    SetIcon(windowIcon, FALSE);

    RECT logRect = {10, 10, 650, 250};
    logCtrl.Create(
        WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_WANTRETURN,
        logRect, this, 1);
    // Neither has a label to be read out, and every result of a run is told in the log alone.
    annotations.SetName(logCtrl.GetSafeHwnd(), "Message log");
    annotations.MakePoliteLiveRegion(logCtrl.GetSafeHwnd());
    annotations.SetName(::GetDlgItem(GetSafeHwnd(), IDC_PROGRESS), "Update progress");

    logText = "";
    updateRun.Reset();

    for (const char* line : kWelcome) {
        AppendLog("%s", line);
    }
    return TRUE;
}

void CUpdaterDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void CUpdaterDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    int cxIcon = GetSystemMetrics(SM_CXICON);
    int cyIcon = GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    int x = (rect.right - rect.left - cxIcon + 1) / 2;
    int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, windowIcon);
}

HCURSOR CUpdaterDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(windowIcon);
}

void CUpdaterDlg::OnBnClickedUpdate() {
    updateRun.OnBnClickedUpdate();
}

void CUpdaterDlg::ShowWarning(const char* text) {
    MessageBox(text, "Warning", 0);
}

ProgressBar* CUpdaterDlg::FindProgressBar() {
    // Asked by the worker: the bar is reached through its handle, by messages.
    HWND bar = ::GetDlgItem(GetSafeHwnd(), IDC_PROGRESS);
    if (bar == nullptr) {
        return nullptr;
    }
    progressBar.Attach(bar);
    return &progressBar;
}

WorkerThreadHandle CUpdaterDlg::StartWorker() {
    // A shutdown or log-off in the middle of programming ruins the device as surely as the close
    // button does; the worker also keeps the system from sleeping when idle.
    workerNotifyWindow = GetSafeHwnd();
    session.BlockShutdown(workerNotifyWindow);
    HANDLE thread = CreateThread(nullptr, 0, &CUpdaterDlg::UpdateWorker, this, 0, nullptr);
    if (thread == nullptr) {
        session.AllowShutdown(workerNotifyWindow);
    }
    return thread;
}

DWORD WINAPI CUpdaterDlg::UpdateWorker(LPVOID window) {
    CUpdaterDlg* dlg = static_cast<CUpdaterDlg*>(window);
    dlg->session.KeepAwake();
    dlg->updateRun.UpdateWorker();
    dlg->session.AllowSleep();
    ::PostMessageA(dlg->workerNotifyWindow, WM_WORKER_FINISHED, 0, 0);
    return 0;
}

LRESULT CUpdaterDlg::OnWorkerFinished(WPARAM, LPARAM) {
    session.AllowShutdown(GetSafeHwnd());
    return 0;
}

void CUpdaterDlg::WaitForWorker() {
    HANDLE worker = static_cast<HANDLE>(updateRun.workerThread);
    if (worker == nullptr) {
        return;
    }
    updateRun.Abandon();
    // Keep serving messages meanwhile: the worker may be in a synchronous call to a window of this
    // thread. The process must end promptly even if a device call never returns.
    const DWORD deadline = GetTickCount() + 1500;
    for (;;) {
        DWORD now = GetTickCount();
        DWORD left = int(deadline - now) > 0 ? deadline - now : 0;
        DWORD woken = MsgWaitForMultipleObjects(1, &worker, FALSE, left, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) {
            return;
        }
        if (woken != WAIT_OBJECT_0 + 1) {
            break;
        }
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    // The worker is stuck in the device library; its state must not be freed under it.
    TerminateProcess(GetCurrentProcess(), 0);
}
