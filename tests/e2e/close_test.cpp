// Closing the window: at once while nothing is being programmed, only after a warning while it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "desktop.h"
#include "scenario_steps.h"

namespace e2e {
namespace {

// The scenarios below end programming long before it finishes.
const char kWriteDelayMs[] = "5";

// What the program wrote before it ended is on the flash, and nothing else.
void ExpectStoppedPartWay(const Orvflash& app) {
    const std::vector<DeviceCall> calls = app.Trace();
    const std::vector<std::string> names = CallNames(calls);
    const std::vector<std::string> complete = CompleteRunCalls(layout::kImageLimit);
    ASSERT_GT(names.size(), PreparationCalls().size() + 1) << "programming had begun";
    ASSERT_LT(names.size(), complete.size()) << "programming stopped part way";
    EXPECT_TRUE(std::equal(names.begin(), names.end(), complete.begin()));
    ExpectFlash(app.Flash(), ReplayTrace(app.InitialFlash(), app.Image(), calls));
}

// Clicks Yes in the close warning; the process must be gone within 2 s of the click.
void AnswerLastYesAndExpectExit(const Orvflash& app, const MessageBoxWindow& warning) {
    const DWORD clicked = GetTickCount();
    Click(GetDlgItem(warning.window, IDYES));
    EXPECT_TRUE(app.WaitForExit(2000)) << "still running 2 s after the last Yes";
    ASSERT_TRUE(app.WaitForExit(kStepTimeoutMs));
    ::testing::Test::RecordProperty("exit_ms", int(GetTickCount() - clicked));
}

struct IdleClose {
    CloseBy how;
    bool afterRun;
};

class CloseWhileIdle : public ::testing::TestWithParam<IdleClose> {};

TEST_P(CloseWhileIdle, ClosesAtOnce) {
    Orvflash app(Scenario{});
    if (GetParam().afterRun) {
        ConfirmUpdate(app);
        app.WaitForLogLine(kSafeToClose, kRunTimeoutMs);
    }
    Close(app, GetParam().how);
    ExpectClosesWithoutAsking(app);
    if (GetParam().afterRun) {
        ExpectFlash(app.Flash(), FlashAfterRun(app.InitialFlash(), app.Image()));
    } else {
        EXPECT_TRUE(app.Trace().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    , CloseWhileIdle,
    ::testing::Values(IdleClose{CloseBy::done, false}, IdleClose{CloseBy::escape, false},
                      IdleClose{CloseBy::wmClose, false}, IdleClose{CloseBy::systemMenu, false},
                      IdleClose{CloseBy::done, true}, IdleClose{CloseBy::escape, true},
                      IdleClose{CloseBy::wmClose, true}, IdleClose{CloseBy::systemMenu, true}),
    [](const ::testing::TestParamInfo<IdleClose>& info) {
        std::ostringstream name;
        name << info.param.how << (info.param.afterRun ? "AfterRun" : "BeforeRun");
        return name.str();
    });

// The serial question has no owner, so the window can be closed while it is open; the question
// goes with it and no programming starts.
class CloseDuringQuestion : public ::testing::TestWithParam<CloseBy> {};

TEST_P(CloseDuringQuestion, DismissesQuestionAndErasesNothing) {
    Orvflash app(Scenario{});
    app.ClickUpdate();
    app.WaitForBox("Question");
    Close(app, GetParam());
    ASSERT_TRUE(app.WaitForExit(kStepTimeoutMs)) << "the question kept the program alive";
    ExpectFlash(app.Flash(), app.InitialFlash());
    ExpectCalls(app.Trace(), PreparationCalls());
}

// Escape is left out: while the question's own message loop runs, keys sent to the window are
// not turned into dialog commands.
INSTANTIATE_TEST_SUITE_P(, CloseDuringQuestion, ::testing::Values(CloseBy::done, CloseBy::wmClose),
                         ::testing::PrintToStringParamName());

class CloseDuringProgramming : public ::testing::TestWithParam<CloseBy> {};

TEST_P(CloseDuringProgramming, NoKeepsProgrammingAndYesEndsIt) {
    Orvflash app(SlowProgramming(kWriteDelayMs));
    ConfirmUpdate(app);
    app.WaitForBarBeyond(0);

    Close(app, GetParam());
    MessageBoxWindow warning = app.WaitForBox("Question");
    EXPECT_EQ(warning.text, kCloseWarning);
    EXPECT_EQ(warning.owner, nullptr);
    app.WaitForBarBeyond(app.BarPos());  // programming goes on while the user reads

    app.Answer(warning, IDNO);
    app.Sync();
    EXPECT_FALSE(app.BoxOpen("Question"));
    EXPECT_TRUE(IsWindow(app.Window()));
    app.WaitForBarBeyond(app.BarPos());

    Close(app, GetParam());
    warning = app.WaitForBox("Question");
    EXPECT_EQ(warning.text, kCloseWarning);
    AnswerLastYesAndExpectExit(app, warning);
    ExpectStoppedPartWay(app);
}

INSTANTIATE_TEST_SUITE_P(, CloseDuringProgramming,
                         ::testing::Values(CloseBy::done, CloseBy::escape),
                         ::testing::PrintToStringParamName());

// WM_CLOSE asks, and then the Cancel command that it turns into asks again. The system menu's
// Close reaches it through OnSysCommand.
class CloseDuringProgrammingByWmClose : public ::testing::TestWithParam<CloseBy> {};

TEST_P(CloseDuringProgrammingByWmClose, NeedsTwoYesAnswers) {
    Orvflash app(SlowProgramming(kWriteDelayMs));
    ConfirmUpdate(app);
    app.WaitForBarBeyond(0);

    Close(app, GetParam());
    MessageBoxWindow first = app.WaitForBox("Question");
    EXPECT_EQ(first.text, kCloseWarning);
    app.Answer(first, IDNO);
    app.Sync();
    EXPECT_FALSE(app.BoxOpen("Question")) << "No to the first question ends the close";
    app.WaitForBarBeyond(app.BarPos());

    Close(app, GetParam());
    first = app.WaitForBox("Question");
    app.Answer(first, IDYES);
    MessageBoxWindow second = app.WaitForBox("Question");
    EXPECT_EQ(second.text, kCloseWarning);
    app.Answer(second, IDNO);
    app.Sync();
    EXPECT_FALSE(app.BoxOpen("Question"));
    EXPECT_TRUE(app.Running());
    app.WaitForBarBeyond(app.BarPos());

    Close(app, GetParam());
    first = app.WaitForBox("Question");
    app.Answer(first, IDYES);
    second = app.WaitForBox("Question");
    AnswerLastYesAndExpectExit(app, second);
    ExpectStoppedPartWay(app);
}

INSTANTIATE_TEST_SUITE_P(, CloseDuringProgrammingByWmClose,
                         ::testing::Values(CloseBy::wmClose, CloseBy::systemMenu),
                         ::testing::PrintToStringParamName());

// A device call that never returns must not keep a confirmed close from ending the program.
TEST(CloseDuringHangingDeviceCall, EndsTheProgramAllTheSame) {
    Orvflash app(SlowProgramming("60000"));
    ConfirmUpdate(app);
    Close(app, CloseBy::done);
    const MessageBoxWindow warning = app.WaitForBox("Question");
    EXPECT_EQ(warning.text, kCloseWarning);
    AnswerLastYesAndExpectExit(app, warning);
}

}  // namespace
}  // namespace e2e
