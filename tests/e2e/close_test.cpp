// Closing the window: at once while nothing is being programmed, only after a warning while it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "scenario_steps.h"

namespace e2e {
namespace {

// The computer's log tells how a close during programming ended the run.
void ExpectClosedDuringProgramming(const Orvflash& app) {
    EXPECT_EQ(app.ExitCode(), 1u) << "the update did not finish";
    EXPECT_NE(ReadText(Orvflash::ComputerLog())
                  .find("The window was closed during programming; the update did not "
                        "finish; the saved copy is kept.\r\n"),
              std::string::npos);
}

class CloseWhileIdle : public ::testing::TestWithParam<std::tuple<CloseBy, bool>> {};

TEST_P(CloseWhileIdle, ClosesAtOnce) {
    const CloseBy how = std::get<0>(GetParam());
    Orvflash app(Scenario{});
    if (std::get<1>(GetParam())) {
        ConfirmUpdate(app);
        FinishRun(app, {kIdentifying, kUpdating}, how);
        ExpectFlash(app.Flash(), FlashAfterRun(app.InitialFlash(), app.Image()));
        EXPECT_EQ(app.ExitCode(), 0u);
    } else {
        how.close(app);
        ExpectClosesWithoutAsking(app);
        EXPECT_TRUE(app.Trace().empty());
        EXPECT_EQ(app.ExitCode(), 6u) << "closed without an update";
    }
}

INSTANTIATE_TEST_SUITE_P(
    , CloseWhileIdle,
    ::testing::Combine(::testing::Values(kDone, kEscape, kWmClose, kSystemMenu), ::testing::Bool()),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) ? "AfterRun" : "BeforeRun");
    });

// The serial question has no owner, so the window can be closed while it is open; the question
// goes with it and no programming starts.
class CloseDuringQuestion : public ::testing::TestWithParam<CloseBy> {};

TEST_P(CloseDuringQuestion, DismissesQuestionAndErasesNothing) {
    Orvflash app(Scenario{});
    app.ClickUpdate();
    app.WaitForBox("Question");
    GetParam().close(app);
    ASSERT_TRUE(app.WaitForExit(kStepTimeoutMs)) << "the question kept the program alive";
    EXPECT_EQ(app.ExitCode(), 6u) << "closed before the erase";
    ExpectFlash(app.Flash(), app.InitialFlash());
    ExpectCalls(app.Trace(), PreparationCalls());
}

// Escape is left out: while the question's own message loop runs, keys sent to the window are
// not turned into dialog commands.
INSTANTIATE_TEST_SUITE_P(, CloseDuringQuestion, ::testing::Values(kDone, kWmClose),
                         ::testing::PrintToStringParamName());

// WM_CLOSE, which the system menu's Close reaches through OnSysCommand, asks, and then the Cancel
// command that it turns into asks again: a close takes a Yes to each question, and a No to any
// one of them keeps programming going.
class CloseDuringProgramming : public ::testing::TestWithParam<std::tuple<CloseBy, int>> {};

TEST_P(CloseDuringProgramming, NoKeepsProgrammingAndYesEndsIt) {
    const CloseBy how = std::get<0>(GetParam());
    const int questions = std::get<1>(GetParam());
    Orvflash app(SlowProgramming("5"));  // to be ended long before it finishes
    ConfirmUpdate(app);
    app.WaitForBarBeyond(0);
    for (int no = 0; no < questions; ++no) {
        const Box warning = CloseToWarning(app, how, no);
        app.WaitForBarBeyond(app.BarPos());  // programming goes on while the user reads
        app.Answer(warning, IDNO);
        app.Sync();
        EXPECT_FALSE(app.BoxOpen("Question")) << "No to question " << no + 1 << " ends the close";
        EXPECT_TRUE(IsWindow(app.Window()));
        EXPECT_TRUE(app.Running());
        app.WaitForBarBeyond(app.BarPos());
    }
    ConfirmClose(app, CloseToWarning(app, how, questions - 1));
    // What the program wrote before it ended is on the flash, and nothing else.
    const std::vector<DeviceCall> calls = app.Trace();
    const std::vector<std::string> names = CallNames(calls);
    const std::vector<std::string> complete = CompleteRunCalls(layout::kImageLimit);
    ASSERT_GT(names.size(), PreparationCalls().size() + 1) << "programming had begun";
    ASSERT_LT(names.size(), complete.size()) << "programming stopped part way";
    EXPECT_TRUE(std::equal(names.begin(), names.end(), complete.begin()));
    ExpectFlash(app.Flash(), ReplayTrace(app.InitialFlash(), app.Image(), calls));
    ExpectClosedDuringProgramming(app);
}

INSTANTIATE_TEST_SUITE_P(, CloseDuringProgramming,
                         ::testing::Values(std::make_tuple(kDone, 1), std::make_tuple(kEscape, 1),
                                           std::make_tuple(kWmClose, 2),
                                           std::make_tuple(kSystemMenu, 2)),
                         [](const auto& info) { return std::get<0>(info.param).name; });

// A device call that never returns must not keep a confirmed close from ending the program.
TEST(CloseDuringHangingDeviceCall, EndsTheProgramAllTheSame) {
    Orvflash app(SlowProgramming("60000"));
    ConfirmUpdate(app);
    ConfirmClose(app, CloseToWarning(app, kDone));
    ExpectClosedDuringProgramming(app);
}

}  // namespace
}  // namespace e2e
