#include "updater_app.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "computer_folder.h"
#include "device_library_info.h"
#include "event_report.h"
#include "kavix_check.h"
#include "log_text.h"
#include "nobody_can_see.h"
#include "only_instance.h"
#include "orv_version.h"
#include "run_account.h"
#include "saved_copy_folder.h"
#include "shell_taskbar_button.h"
#include "status_record.h"
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
    const bool echoed = log.EchoToStandardOutput();
    if (CheckedFolder* folder = ComputerFolder()) {
        log.AddComputerLog(*folder);
    }
    const std::string logProblem = command.logFile.empty() ? "" : log.AddFile(command.logFile);
    // Read wide and escaped: any character of the command line, and never a line of its own.
    log.AppendUtf8("orvflash " ORV_VERSION_TEXT " started by " + RunAccountName() + ": " +
                   EscapedControls(Utf8(GetCommandLineW())));
    LogDeviceLibrary(log);
    for (const std::string& note : ComputerFolderNotes()) {
        log.AppendUtf8(note);
    }
    if (!logProblem.empty()) {
        log.AppendUtf8(logProblem);
    }
    std::optional<KavixStatus> kavix;
    exitCode = Run(command, log, kavix);
    const bool elevated = RunIsElevated();
    if (kavix) {
        kavix->exitCode = exitCode;
        kavix->timeUtc = UtcNow();
        CSavedCopyFolder records(CSavedCopyFolder::leaveLegacyCopies);
        if (!WriteStatusRecord(*kavix, elevated, records)) {
            LogLine(log, "The status record could not be written in full.");
        }
    }
    if (command.silent) {
        ReportRunEvent(exitCode, kavix ? &*kavix : nullptr,
                       Utf8(ComputerFolderPath() + L"\\" + kComputerLogName), elevated);
    }
    LogEnd(log, exitCode);
    if (echoed) {
        WriteToConsole(ResultLine(exitCode) + "\r\n");
    }
    // No message loop of our own: the program ends here.
    return FALSE;
}

ExitCode CUpdaterApp::Run(const CommandLine& command, RunLog& log,
                          std::optional<KavixStatus>& kavix) {
    if (!command.Valid()) {
        LogLine(log, command.problem);
        for (const char* line : UsageLines()) {
            log.Append(line);
        }
        TellUsage(command.problem.c_str(), !command.silent && !unseen, log.Echoes());
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
        if (instance.Why() != nullptr) {
            log.Append(instance.Why());
        }
        return kExitAnotherUpdate;
    }
    // The check too: a simulated Kavix is never up to date, nor needs an update.
    if (command.silent && RefusesSimulatedKavix(log)) {
        return kExitNoDevice;
    }
    if (command.check) {
        return Check(log, kavix);
    }
    if (command.silent) {
        UnattendedRun run(command, log);
        const ExitCode code = run.Run();
        if (run.Update().Identified()) {
            kavix = run.Update().Status();
        }
        return code;
    }
    return RunWindow(log, kavix);
}

// Reads the Kavix and looks at the copies; changes neither.
ExitCode CUpdaterApp::Check(RunLog& log, std::optional<KavixStatus>& kavix) {
    CSavedCopyFolder copies(CSavedCopyFolder::leaveLegacyCopies);
    KavixStatus status;
    bool identified = false;
    const int code = CheckKavix(copies, status, identified);
    if (identified) {
        kavix = status;
        const std::string line = CheckLine(status);
        LogLine(log, line);
        // Started from a command prompt, whose window shows what the log's echo does not.
        if (!log.Echoes()) {
            WriteToConsole(line + "\r\n");
        }
    }
    LogLine(log, std::string("Check: ") + ExitCodeMeaning(code) + ".");
    return ExitCode(code);
}

ExitCode CUpdaterApp::RunWindow(RunLog& log, std::optional<KavixStatus>& kavix) {
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
    if (dlg.Run().Identified()) {
        kavix = dlg.Run().Status();
    }
    m_pMainWnd = nullptr;
    return dlg.Result();
}
