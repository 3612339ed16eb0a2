#include "updater_app.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "computer_folder.h"
#include "log_text.h"
#include "only_instance.h"
#include "orv_version.h"
#include "run_account.h"
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

}  // namespace

BOOL CUpdaterApp::InitInstance() {
    const CommandLine command = ParseCommandLine(ProgramArguments());
    if (command.silent) {
        // Nobody could answer the system's own boxes (a drive without a disk, a crash): the run
        // must end by itself with its exit code.
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    }
    RunLog log;
    if (CheckedFolder* folder = ComputerFolder()) {
        log.AddComputerLog(*folder);
    }
    const std::string logProblem = command.logFile.empty() ? "" : log.AddFile(command.logFile);
    // Read wide and escaped: any character of the command line, and never a line of its own.
    log.AppendUtf8("orvflash " ORV_VERSION_TEXT " started by " + RunAccountName() + ": " +
                   EscapedControls(Utf8(GetCommandLineW())));
    for (const std::string& note : ComputerFolderNotes()) {
        log.AppendUtf8(note);
    }
    if (!logProblem.empty()) {
        log.AppendUtf8(logProblem);
    }
    exitCode = Run(command, log);
    LogLine(log, "orvflash ended with exit code " + std::to_string(int(exitCode)) + ".");
    // No message loop of our own: the program ends here.
    return FALSE;
}

ExitCode CUpdaterApp::Run(const CommandLine& command, RunLog& log) {
    if (!command.Valid()) {
        LogLine(log, command.problem);
        for (const char* line : UsageLines()) {
            log.Append(line);
        }
        TellUsage(command.problem.c_str(), !command.silent);
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
        if (instance.Why() != nullptr) {
            log.Append(instance.Why());
        }
        // A second start beside the window ends as it always has.
        return command.silent ? kExitAnotherUpdate : kExitUpdated;
    }
    if (command.silent) {
        return UnattendedRun(command, log).Run();
    }
    RunWindow(log);
    return kExitUpdated;
}

void CUpdaterApp::RunWindow(RunLog& log) {
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
    dlg.WaitForWorker();
    m_pMainWnd = nullptr;
}
