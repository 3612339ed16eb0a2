// The application object: runs the updater window and ends the program when it closes, or, with
// /s, runs the update without any window; either way it ends with an exit code that says how the
// run went.
#ifndef ORVFLASH_APP_UPDATER_APP_H
#define ORVFLASH_APP_UPDATER_APP_H

#include <optional>

#include "afx_winapp.h"
#include "command_line.h"
#include "exit_code.h"
#include "run_log.h"

class CUpdaterApp : public CWinAppEx {
public:
    BOOL InitInstance() override;
    int ExitInstance() override { return exitCode; }

private:
    // `kavix` gets what the run knew of a Kavix it identified.
    ExitCode Run(const CommandLine& command, RunLog& log, std::optional<KavixStatus>& kavix);
    ExitCode RunWindow(RunLog& log, std::optional<KavixStatus>& kavix);
    ExitCode Check(RunLog& log, std::optional<KavixStatus>& kavix);

    ExitCode exitCode = kExitUpdated;
    bool unseen = false;  // nobody can see this start
};

extern CUpdaterApp theApp;

#endif
