#include "exit_code.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    RunOutcome outcome;
    bool programmed;
    ExitCode expected;
};

TEST(ExitCode, OneCodePerOutcome) {
    const Row rows[] = {
        {RunOutcome::finished, true, kExitUpdated},
        {RunOutcome::failed, true, kExitFailed},
        {RunOutcome::upToDate, false, kExitUpToDate},
        {RunOutcome::noDevice, false, kExitNoDevice},
        {RunOutcome::noDevice, true, kExitNoDevice},  // the Kavix changed under the questions
        {RunOutcome::notErased, true, kExitNoDevice},
        {RunOutcome::noImage, false, kExitNoImage},
        {RunOutcome::mustDecide, false, kExitMustDecide},
        {RunOutcome::mustDecide, true, kExitMustDecide},  // no copy marked: nothing erased
        {RunOutcome::none, false, kExitMustDecide},       // a window closed without an update
        {RunOutcome::none, true, kExitFailed},            // an end not known after programming
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ExitCodeOf(row.outcome, row.programmed), row.expected)
            << int(row.outcome) << (row.programmed ? " programmed" : "");
    }
}

}  // namespace
