#include "updater_app.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "computer_folder.h"
#include "nobody_can_see.h"
#include "only_instance.h"
#include "orv_version.h"
#include "shell_taskbar_button.h"
#include "system_session_guard.h"
#include "unattended_run.h"
#include "updater_dlg.h"
#include "usage.h"

CUpdaterApp theApp;

namespace {

// As wide strings: a /log path may hold any character.
std::vector<std::wstring> ProgramArguments() {
    std::vector<std::wstring> arguments;
    int count = 0;
    if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
        arguments.assign(argv + (count > 0 ? 1 : 0), argv + count);
        LocalFree(argv);
    }
    return arguments;
}

void LogLine(RunLog& log, const std::string& line) {
    log.Append(line.c_str());
}

void LogEnd(RunLog& log, ExitCode code) {
    LogLine(log, "orvflash ended with exit code " + std::to_string(int(code)) + ".");
}

}  // namespace

BOOL CUpdaterApp::InitInstance() {
    const CommandLine command = ParseCommandLine(ProgramArguments());
    unseen = NobodyCanSee();
    if (command.silent || unseen) {
        // Nobody could answer the system's own boxes (a drive without a disk, a crash): the run
        // must end by itself with its exit code.
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    }
    RunLog log;
    const std::wstring folder = ComputerFolder(true);
    if (!folder.empty()) {
        log.AddFile(folder + L"orvflash.log", true);
    }
    if (!command.logFile.empty()) {
        log.AddFile(command.logFile, false);
    }
    LogLine(log, std::string("orvflash " ORV_VERSION_TEXT " started: ") + GetCommandLineA());
    exitCode = Run(command, log);
    LogEnd(log, exitCode);
    // No message loop of our own: the program ends here.
    return FALSE;
}

ExitCode CUpdaterApp::Run(const CommandLine& command, RunLog& log) {
    if (!command.Valid()) {
        LogLine(log, command.problem);
        for (const char* line : UsageLines()) {
            log.Append(line);
        }
        TellUsage(command.problem.c_str(), !command.silent && !unseen);
        return kExitWrongCommandLine;
    }
    if (!command.silent && unseen) {
        // A window or a box here would wait for nobody until the deployment's time limit.
        LogLine(log,
                "Nobody can see this start (session 0, a hidden window station or SYSTEM's "
                "account): no window is shown. Use /s for an update with nobody in front of it.");
        return kExitWrongCommandLine;
    }
    if (command.help) {
        TellUsage(nullptr, !command.silent);
        return kExitUpdated;
    }
    // Held until the worker has finished: one update at a time on the computer.
    OnlyInstance instance;
    if (!instance.Claim(command.silent)) {
        LogLine(log, "Another update is running on this computer; nothing was done.");
        return kExitAnotherUpdate;
    }
    if (command.silent) {
        return UnattendedRun(command, log).Run();
    }
    return RunWindow(log);
}

ExitCode CUpdaterApp::RunWindow(RunLog& log) {
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
    dlg.CopyLogTo(log);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    if (!dlg.WaitForWorker()) {
        // The worker is stuck in the device library; its state must not be freed under it.
        LogLine(log, CUpdaterDlg::kClosedDuringProgramming);
        LogEnd(log, kExitFailed);
        TerminateProcess(GetCurrentProcess(), kExitFailed);
    }
    m_pMainWnd = nullptr;
    return dlg.Result();
}
