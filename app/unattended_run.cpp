#include "unattended_run.h"

#include <windows.h>

#include <memory>
#include <string>

#include "image_file.h"
#include "saved_copy_folder.h"

namespace {

ExitCode ExitCodeOf(RunOutcome outcome, bool programmed) {
    switch (outcome) {
        case RunOutcome::finished:
            return kExitUpdated;
        case RunOutcome::failed:
            return kExitFailed;
        case RunOutcome::upToDate:
            return kExitUpToDate;
        case RunOutcome::noDevice:
        case RunOutcome::notErased:
            return kExitNoDevice;
        case RunOutcome::noImage:
            return kExitNoImage;
        case RunOutcome::mustDecide:
            return kExitMustDecide;
        case RunOutcome::none:
            break;
    }
    // A run whose end is not known never passes for one that changed nothing.
    return programmed ? kExitFailed : kExitMustDecide;
}

}  // namespace

UnattendedRun::UnattendedRun(const CommandLine& command, RunLog& log)
    : command(command),
      log(log),
      updateRun(*this, std::make_unique<CImageFile>(), std::make_unique<CSavedCopyFolder>()) {}

ExitCode UnattendedRun::Run() {
    updateRun.Reset();
    bool programmed = false;
    if (updateRun.Prepare()) {
        // The system must not sleep under the device calls; the execution state is the thread's.
        SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
        updateRun.Program();
        SetThreadExecutionState(ES_CONTINUOUS);
        programmed = true;
    }
    return ExitCodeOf(updateRun.Outcome(), programmed);
}

void UnattendedRun::AppendLine(const char* text) {
    log.Append(text);
}

int UnattendedRun::Ask(const char* text, Question kind) {
    log.Append((std::string("Question: ") + text).c_str());
    int answer = 0;
    std::string why;
    if (kind == Question::upToDate) {
        answer = command.force ? kAnswerYes : kAnswerNo;
        why = command.force ? "/force" : "no /force";
    } else if (kind == Question::serialNumber) {
        const bool named = !command.serial || *command.serial == updateRun.SerialNumber();
        answer = named ? kAnswerYes : kAnswerNo;
        why = !command.serial ? "no /serial"
                              : "/serial=" + std::to_string(*command.serial) +
                                    (named ? "" : ", which is not the Kavix attached");
    } else {
        // Only a person reading the label can tell: nothing is touched.
        why = "only a person reading the label on the Kavix can answer";
    }
    const char* said = answer == kAnswerYes ? "Yes" : answer == kAnswerNo ? "No" : "None";
    log.Append((std::string("Answer: ") + said + " (" + why + ")").c_str());
    return answer;
}

void UnattendedRun::ShowWarning(const char* text) {
    log.Append((std::string("Warning: ") + text).c_str());
}
