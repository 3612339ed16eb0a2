// The run as the taskbar button and the bar show it beyond the bar's position: the worker's moves
// and its end are relayed to the window's thread, the only one that may call the shell object.
#include "updater_dlg.h"

#include <commctrl.h>

#include "resource.h"

const UINT CUpdaterDlg::WM_TASKBAR_BUTTON_CREATED = RegisterWindowMessageA("TaskbarButtonCreated");

LRESULT CUpdaterDlg::OnTaskbarButtonCreated(WPARAM, LPARAM) {
    shellTaskbar.ButtonCreated();
    return 0;
}

LRESULT CUpdaterDlg::OnProgressMoved(WPARAM, LPARAM) {
    if (!taskbarShowsProgress) {
        taskbar.SetProgressState(m_hWnd, TaskbarButton::Progress::normal);
        taskbarShowsProgress = true;
    }
    PBRANGE range = {};
    SendDlgItemMessageA(m_hWnd, IDC_PROGRESS, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    const int position = int(SendDlgItemMessageA(m_hWnd, IDC_PROGRESS, PBM_GETPOS, 0, 0));
    taskbar.SetProgressValue(m_hWnd, position - range.iLow, range.iHigh - range.iLow);
    return 0;
}

void CUpdaterDlg::OnRunEnded(bool succeeded) {
    ::SendMessageA(workerNotifyWindow, WM_RUN_ENDED, succeeded, 0);
}

LRESULT CUpdaterDlg::OnRunEndedMessage(WPARAM succeeded, LPARAM) {
    if (succeeded) {
        taskbar.SetProgressState(m_hWnd, TaskbarButton::Progress::none);
    } else {
        // Both keep the position they reached.
        taskbar.SetProgressState(m_hWnd, TaskbarButton::Progress::error);
        SendDlgItemMessageA(m_hWnd, IDC_PROGRESS, PBM_SETSTATE, PBST_ERROR, 0);
    }
    // The user may have turned to another program during the run; the window's own boxes count
    // as the window.
    if (GetAncestor(GetForegroundWindow(), GA_ROOTOWNER) != m_hWnd) {
        taskbar.Flash(m_hWnd);
    }
    return 0;
}
