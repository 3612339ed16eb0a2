// While a run is under way: repeated clicks, the image file, and Windows wanting to end the
// session.
#include <gtest/gtest.h>

#include "scenario_steps.h"

namespace e2e {
namespace {

// During the question, during programming and after it, Update only warns; the run goes on and
// ends as if nothing had happened.
TEST(Programming, LaterUpdateClicksOnlyWarn) {
    Orvflash app(SlowProgramming("2"));
    app.ClickUpdate();
    const Box question = app.WaitForBox("Question");
    ExpectAlreadyStartedWarning(app);
    ASSERT_TRUE(IsWindow(question.window)) << "the warning took the question with it";
    app.Answer(question, IDYES);
    app.WaitForLogLine(kUpdating);

    app.WaitForBarBeyond(0);
    app.ClickUpdate();
    const Box warning = app.WaitForBox("Warning");
    app.WaitForBarBeyond(app.BarPos());  // programming goes on under the warning
    app.Answer(warning, IDOK);

    app.WaitForLogLine(kSafeToClose, kRunTimeoutMs);
    ExpectAlreadyStartedWarning(app);
    app.Sync();
    EXPECT_FALSE(app.BoxOpen("Question"));
    EXPECT_EQ(app.BarPos(), 200);
    FinishRun(app, {kIdentifying, kUpdating});
    ExpectFlash(app.Flash(), FlashAfterRun(app.InitialFlash(), app.Image()));
    ExpectCalls(app.Trace(), CompleteRunCalls(layout::kImageLimit));
}

TEST(Programming, ImageFileIsHeldFromUpdateClickUntilExit) {
    Orvflash app(Scenario{});
    EXPECT_EQ(OpenError(app.ImagePath()), 0u) << "not held before the click";
    app.ClickUpdate();
    const Box question = app.WaitForBox("Question");
    EXPECT_EQ(OpenError(app.ImagePath()), DWORD(ERROR_SHARING_VIOLATION));
    app.Answer(question, IDYES);
    app.WaitForLogLine(kSafeToClose, kRunTimeoutMs);
    EXPECT_EQ(OpenError(app.ImagePath()), DWORD(ERROR_SHARING_VIOLATION));

    app.ClickDone();
    ASSERT_TRUE(app.WaitForExit(kStepTimeoutMs));
    EXPECT_EQ(OpenError(app.ImagePath()), 0u);
}

TEST(Programming, EndOfSessionIsRefusedOnlyWhileProgramming) {
    Orvflash app(SlowProgramming("2"));
    EXPECT_TRUE(Send(app.Window(), WM_QUERYENDSESSION)) << "before the run";
    app.ClickUpdate();
    const Box question = app.WaitForBox("Question");
    EXPECT_TRUE(Send(app.Window(), WM_QUERYENDSESSION)) << "during the serial question";
    app.Answer(question, IDYES);
    app.WaitForLogLine(kUpdating);
    EXPECT_FALSE(Send(app.Window(), WM_QUERYENDSESSION)) << "during programming";
    app.WaitForBarBeyond(app.BarPos());
    app.WaitForLogLine(kSafeToClose, kRunTimeoutMs);
    EXPECT_TRUE(Send(app.Window(), WM_QUERYENDSESSION)) << "after the run";
    EXPECT_TRUE(app.Running());
    FinishRun(app, {kIdentifying, kUpdating});
    ExpectFlash(app.Flash(), FlashAfterRun(app.InitialFlash(), app.Image()));
}

}  // namespace
}  // namespace e2e
