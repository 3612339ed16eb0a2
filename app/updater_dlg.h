// The updater window: message log, Update and Done buttons, progress bar. It owns the state of the
// update run and provides the window operations that the run is written against.
#ifndef ORVFLASH_APP_UPDATER_DLG_H
#define ORVFLASH_APP_UPDATER_DLG_H

#include "afx_dialog.h"
#include "afx_edit.h"
#include "afx_msgmap.h"
#include "afx_string.h"
#include "assistive_technology.h"
#include "progress_bar_control.h"
#include "shell_taskbar_button.h"
#include "system_session_guard.h"
#include "update_run.h"

class CUpdaterDlg : public CDialog, private UpdateRunWindow {
public:
    // The run shows on `taskbar` and holds off shutdown and sleep through `session`; null: the
    // shell's taskbar button and the system's guard.
    explicit CUpdaterDlg(TaskbarButton* taskbar = nullptr, SessionGuard* session = nullptr);

    // After the dialog has ended: a worker that is still programming is asked to stop and given a
    // moment to finish its device call; the window object must not be destroyed under it.
    void WaitForWorker();

    // UpdateRunWindow
    void AppendLog(const char* format, ...) override ORV_PRINTF_METHOD;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnBnClickedUpdate();
    void OnClose();
    BOOL OnQueryEndSession();
    LRESULT OnWorkerFinished(WPARAM, LPARAM);
    LRESULT OnTaskbarButtonCreated(WPARAM, LPARAM);
    LRESULT OnProgressMoved(WPARAM, LPARAM);
    LRESULT OnRunEndedMessage(WPARAM succeeded, LPARAM);

    DECLARE_MESSAGE_MAP()

private:
    int AskQuestion(const char* format, ...) override ORV_PRINTF_METHOD;
    void ShowWarning(const char* text) override;
    ProgressBar* FindProgressBar() override;
    WorkerThreadHandle StartWorker() override;
    void OnRunEnded(bool succeeded) override;

    // Sent by the worker to tell the window's thread how the run ended.
    static constexpr UINT WM_RUN_ENDED = WM_APP + 3;
    // The shell's word that the window's button is on the taskbar.
    static const UINT WM_TASKBAR_BUTTON_CREATED;

    static DWORD WINAPI UpdateWorker(LPVOID window);

    // Asks before closing while the flash is being programmed; true to go on closing.
    bool ConfirmClose();
    // The dialog is about to end: nothing of the run may go on using it.
    void ReleaseRun();

    CString logText;
    CEdit logCtrl;
    UpdateRun updateRun;
    HICON windowIcon;

    ProgressBarControl progressBar;
    HWND workerNotifyWindow = nullptr;

    ShellTaskbarButton shellTaskbar;
    TaskbarButton& taskbar;
    bool taskbarShowsProgress = false;

    SystemSessionGuard systemSession;
    SessionGuard& session;

    // Kept for the window's life, as the annotation service asks.
    ControlAnnotations annotations;
};

#endif
