#include "updater_app.h"

#include <windows.h>
#include <commctrl.h>

#include "only_instance.h"
#include "shell_taskbar_button.h"
#include "system_session_guard.h"
#include "updater_dlg.h"

CUpdaterApp theApp;

BOOL CUpdaterApp::InitInstance() {
    // Held until the worker has finished: one update at a time on the computer.
    OnlyInstance instance;
    if (!instance.Claim()) {
        return FALSE;
    }

    // The progress bar's window class comes with the Windows 95 set of common controls.
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    CWinAppEx::InitInstance();
    AfxEnableControlContainer();
    SetRegistryKey("Local AppWizard-Generated Applications");

    ShellTaskbarButton taskbar;
    SystemSessionGuard session;
    CUpdaterDlg dlg(taskbar, session);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    dlg.WaitForWorker();
    m_pMainWnd = nullptr;

    // No message loop of our own: the program ends with the window.
    return FALSE;
}
