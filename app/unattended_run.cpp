#include "unattended_run.h"

#include <windows.h>

#include <memory>
#include <string>

#include "image_file.h"
#include "logged_question.h"
#include "saved_copy_folder.h"

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
    return blank ? kExitMustDecide : ExitCodeOf(updateRun.Outcome(), programmed);
}

void UnattendedRun::AppendLine(const char* text) {
    log.Append(text);
}

int UnattendedRun::Ask(const char* text, Question kind) {
    const int32_t serial = updateRun.SerialNumber();
    log.Append(QuestionLine(text, kind, serial).c_str());
    int answer = 0;
    std::string why;
    if (kind == Question::upToDate && serial == -1) {
        // Asked only where no copy was taken: the block reads as erased flash, what a cut leaves
        // whose copy is elsewhere. Neither up to date nor to be written back as it reads.
        blank = true;
        answer = kAnswerNo;
        why = "the data block of the Kavix reads blank";
    } else if (kind == Question::upToDate) {
        answer = command.force ? kAnswerYes : kAnswerNo;
        why = command.force ? "/force" : "no /force";
    } else if (kind == Question::serialNumber) {
        const bool named = !command.serial || *command.serial == serial;
        // The label a person read must name the Kavix's data too.
        const bool labelled = !command.label || *command.label == serial;
        answer = named && labelled ? kAnswerYes : kAnswerNo;
        why = !labelled
                  ? "/label=" + std::to_string(*command.label) + ", which the data does not read"
              : !command.serial ? "no /serial"
                                : "/serial=" + std::to_string(*command.serial) +
                                      (named ? "" : ", which is not the Kavix attached");
    } else if (!command.label) {
        // Only a person reading the label can tell: nothing is touched.
        why = "only a person reading the label on the Kavix can answer";
    } else {
        const std::string label = "/label=" + std::to_string(*command.label);
        const bool thisCopy = *command.label == updateRun.LabelSerialNumber();
        // Two copies of one serial number cannot be told apart by the label: nothing is touched.
        answer = !thisCopy ? kAnswerNo : updateRun.LabelNamesOneCopy() ? kAnswerYes : 0;
        why = !thisCopy ? label + ", not this copy's serial number"
              : answer == kAnswerYes
                  ? label
                  : label + ", but it is not the only copy of that serial number";
    }
    log.Append(AnswerLine(answer, why).c_str());
    if (blank) {
        log.Append(
            "The data block of the Kavix reads blank (serial number -1) and no saved copy of its "
            "data was taken: its data may be in a copy on another computer, or lost. Nothing was "
            "changed. Run the update where its copy is, or ask the maker's support.");
    } else if (answer == 0 && !command.label) {
        log.Append(
            "To finish the update, run it again with /label=<n>, <n> being the serial number "
            "printed on the label of the Kavix.");
    }
    return answer;
}

void UnattendedRun::ShowWarning(const char* text) {
    log.Append((std::string("Warning: ") + text).c_str());
}
