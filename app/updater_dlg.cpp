#include "updater_dlg.h"

#include <memory>

#include "about_dlg.h"
#include "afx_dc.h"
#include "afx_menu.h"
#include "afx_winapp.h"
#include "image_file.h"
#include "logged_question.h"
#include "question_box.h"
#include "resource.h"
#include "saved_copy_folder.h"
#include "window_messages.h"

namespace {

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

const char CUpdaterDlg::kClosedDuringProgramming[] =
    "The window was closed during programming; the update did not finish; the saved copy is kept.";

CUpdaterDlg::CUpdaterDlg(TaskbarButton& taskbar, SessionGuard& session)
    : CDialog(IDD_UPDATER, nullptr),
      updateRun(*this, std::make_unique<CImageFile>(), std::make_unique<CSavedCopyFolder>()),
      taskbarRelay(taskbar),
      session(session),
      windowIcon(::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

BEGIN_MESSAGE_MAP(CUpdaterDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_UPDATE, &CUpdaterDlg::OnBnClickedUpdate)
ON_WM_CLOSE()
ON_WM_QUERYENDSESSION()
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

    log.Create(this, RECT{10, 10, 650, 250});
    // Neither has a label to be read out, and every result of a run is told in the log alone.
    annotations.SetName(log.Control(), "Message log");
    annotations.MakePoliteLiveRegion(log.Control());
    annotations.SetName(::GetDlgItem(GetSafeHwnd(), IDC_PROGRESS), "Update progress");

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
    if (updateRun.Prepare() && !StartWorker()) {
        updateRun.NotStarted();
    }
}

bool CUpdaterDlg::StartWorker() {
    // A shutdown or log-off in the middle of programming ruins the device as surely as the close
    // button does; the worker also keeps the system from sleeping when idle.
    workerWindow = GetSafeHwnd();
    // Before the worker exists: the window's thread reads what the relay holds.
    taskbarRelay.Attach(workerWindow, ::GetDlgItem(workerWindow, IDC_PROGRESS));
    session.BlockShutdown(workerWindow);
    workerThread = CreateThread(nullptr, 0, &CUpdaterDlg::UpdateWorker, this, 0, nullptr);
    if (workerThread == nullptr) {
        session.AllowShutdown(workerWindow);
        return false;
    }
    return true;
}

DWORD WINAPI CUpdaterDlg::UpdateWorker(LPVOID window) {
    CUpdaterDlg* dlg = static_cast<CUpdaterDlg*>(window);
    dlg->session.KeepAwake();
    dlg->updateRun.Program();
    dlg->session.AllowSleep();
    return 0;
}

void CUpdaterDlg::AppendLine(const char* text) {
    log.Append(text);
    if (runLog != nullptr) {
        runLog->Append(text);
    }
}

int CUpdaterDlg::Ask(const char* text, Question kind) {
    // The label question may write one Kavix's data into another: Enter must not say Yes to it.
    const int answer = ShowQuestion(text, kind == Question::label);
    // The window shows the question in its box; the file keeps who decided what.
    if (runLog != nullptr) {
        runLog->Append(QuestionLine(text, kind, updateRun.SerialNumber()).c_str());
        runLog->Append(
            AnswerLine(answer, answer != 0 ? "in the window" : "the question was closed unanswered")
                .c_str());
    }
    return answer;
}

void CUpdaterDlg::ShowWarning(const char* text) {
    MessageBox(text, "Warning", 0);
}

ProgressBar* CUpdaterDlg::FindProgressBar() {
    // Asked by the worker: the bar is reached through its handle, by messages.
    return ::GetDlgItem(workerWindow, IDC_PROGRESS) != nullptr ? &taskbarRelay : nullptr;
}

void CUpdaterDlg::OnRunEnded(bool succeeded) {
    ::SendMessageA(workerWindow, WM_RUN_ENDED, succeeded, 0);
}

LRESULT CUpdaterDlg::OnRunEndedMessage(WPARAM succeeded, LPARAM) {
    taskbarRelay.RunEnded(succeeded != 0);
    // The run's last device call is made: a session end can no longer harm the device.
    session.AllowShutdown(m_hWnd);
    return 0;
}

LRESULT CUpdaterDlg::OnProgressMoved(WPARAM completed, LPARAM total) {
    taskbarRelay.ProgressMoved(int(completed), int(total));
    return 0;
}

LRESULT CUpdaterDlg::OnTaskbarButtonCreated(WPARAM, LPARAM) {
    taskbarRelay.ButtonCreated();
    return 0;
}

void CUpdaterDlg::OnOK() {
    if (closeGuard.MayClose()) {
        closedWhileUpdating = updateRun.IsUpdating();
        closeGuard.Release();
        CDialog::OnOK();
    }
}

void CUpdaterDlg::OnCancel() {
    if (closeGuard.MayClose()) {
        closedWhileUpdating = updateRun.IsUpdating();
        closeGuard.Release();
        CDialog::OnCancel();
    }
}

void CUpdaterDlg::OnClose() {
    // The dialog's default for WM_CLOSE is the Cancel command, which asks once more in OnCancel.
    if (closeGuard.MayClose()) {
        CDialog::OnClose();
    }
}

BOOL CUpdaterDlg::OnQueryEndSession() {
    return closeGuard.MayEndSession() && CDialog::OnQueryEndSession();
}

ExitCode CUpdaterDlg::Result() {
    const RunOutcome outcome = updateRun.Outcome();
    const char* ended = nullptr;
    if (closedWhileUpdating && outcome == RunOutcome::failed) {
        ended = kClosedDuringProgramming;
    } else if (closedWhileUpdating && outcome != RunOutcome::finished) {
        ended = "The window was closed during programming, before the erase; nothing was changed.";
    } else if (outcome == RunOutcome::none) {
        ended = "The window was closed without an update; nothing was changed.";
    }
    if (ended != nullptr && runLog != nullptr) {
        runLog->Append(ended);
    }
    // The worker has ended: its outcome is its last word.
    return ExitCodeOf(outcome, false);
}

bool CUpdaterDlg::WaitForWorker() {
    HANDLE worker = workerThread;
    if (worker == nullptr) {
        return true;
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
            return true;
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
    return false;
}

void CUpdaterDlg::KeepAnswering() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // The modal loop's to handle.
            PostQuitMessage(int(message.wParam));
            return;
        }
        if (!IsDialogMessageA(GetSafeHwnd(), &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}
