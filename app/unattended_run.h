// An update run with nobody in front of it (/s): the window's update run, the same recovery, copies
// and claim, but no window and no box at all, so that it also runs where there is no desktop. The
// questions are answered from the command line, everything is told in the run's log, and the exit
// code says how the run ended.
#ifndef ORVFLASH_APP_UNATTENDED_RUN_H
#define ORVFLASH_APP_UNATTENDED_RUN_H

#include "command_line.h"
#include "exit_code.h"
#include "run_log.h"
#include "update_run.h"

class UnattendedRun : private UpdateRunWindow {
public:
    UnattendedRun(const CommandLine& command, RunLog& log);

    // Prepares and programs on this thread; the caller holds the claim on the computer.
    ExitCode Run();
    const UpdateRun& Update() const { return updateRun; }

private:
    // UpdateRunWindow
    void AppendLine(const char* text) override;
    int Ask(const char* text, Question kind) override;
    void ShowWarning(const char* text) override;
    ProgressBar* FindProgressBar() override { return nullptr; }
    void OnRunEnded(bool) override {}

    const CommandLine& command;
    RunLog& log;
    UpdateRun updateRun;
    // The data block read blank: the run ends as one a person must decide.
    bool blank = false;
};

#endif
