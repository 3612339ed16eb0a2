// How the run's log records a question and its answer, in the window as in an unattended run, so
// that orvflash.log tells who decided what about which Kavix.
#ifndef ORVFLASH_APP_LOGGED_QUESTION_H
#define ORVFLASH_APP_LOGGED_QUESTION_H

#include <cstdint>
#include <string>

#include "update_run_window.h"

// The up-to-date question alone names no serial number.
inline std::string QuestionLine(const char* text, Question kind, int32_t serialNumber) {
    return std::string("Question: ") + text +
           (kind == Question::upToDate ? " (serial number " + std::to_string(serialNumber) + ")"
                                       : std::string());
}

inline std::string AnswerLine(int answer, const std::string& why) {
    const char* said = answer == kAnswerYes ? "Yes" : answer == kAnswerNo ? "No" : "None";
    return std::string("Answer: ") + said + " (" + why + ")";
}

#endif
