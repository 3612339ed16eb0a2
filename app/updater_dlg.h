// The updater window: message log, Update and Done buttons, progress bar. It owns the update run
// and provides the window operations that the run is written against; the log, the close guard and
// the taskbar relay are parts of their own.
#ifndef ORVFLASH_APP_UPDATER_DLG_H
#define ORVFLASH_APP_UPDATER_DLG_H

#include "afx_dialog.h"
#include "afx_msgmap.h"
#include "assistive_technology.h"
#include "close_guard.h"
#include "exit_code.h"
#include "message_log.h"
#include "run_log.h"
#include "session_guard.h"
#include "taskbar_relay.h"
#include "update_run.h"

class CUpdaterDlg : public CDialog, private UpdateRunWindow {
public:
    // The run shows on `taskbar` and holds off shutdown and sleep through `session`.
    CUpdaterDlg(TaskbarButton& taskbar, SessionGuard& session);

    // After the dialog has ended: a worker that is still programming is asked to stop and given a
    // moment to finish its device call. False if it is still in one: the window object must not
    // be destroyed under it, and the caller ends the process.
    bool WaitForWorker();
    // After WaitForWorker: the run's exit code; where a close ended the run, the log says so.
    ExitCode Result();

    static const char kClosedDuringProgramming[];

    // Every line the message log shows is also appended to `file`, from before the window opens.
    void CopyLogTo(RunLog& file) { runLog = &file; }

    // The window's update run, for what it left once the dialog has ended.
    const UpdateRun& Run() const { return updateRun; }

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
    LRESULT OnTaskbarButtonCreated(WPARAM, LPARAM);
    LRESULT OnProgressMoved(WPARAM completed, LPARAM total);
    LRESULT OnRunEndedMessage(WPARAM succeeded, LPARAM);

    DECLARE_MESSAGE_MAP()

private:
    // UpdateRunWindow
    void AppendLine(const char* text) override;
    int Ask(const char* text, Question kind) override;
    void ShowWarning(const char* text) override;
    ProgressBar* FindProgressBar() override;
    void OnRunEnded(bool succeeded) override;
    void KeepAnswering() override;

    // Starts UpdateWorker on a thread of its own; false if it could not be started.
    bool StartWorker();
    static DWORD WINAPI UpdateWorker(LPVOID window);

    MessageLog log;
    RunLog* runLog = nullptr;
    UpdateRun updateRun;
    CloseGuard closeGuard{updateRun};
    TaskbarRelay taskbarRelay;
    SessionGuard& session;
    HICON windowIcon;
    HANDLE workerThread = nullptr;
    // The window was closed, on a Yes to the warning, while the run was programming.
    bool closedWhileUpdating = false;
    // The window as the worker addresses it; set before the worker starts.
    HWND workerWindow = nullptr;
    // Kept for the window's life, as the annotation service asks.
    ControlAnnotations annotations;
};

#endif
