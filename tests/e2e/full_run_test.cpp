// Complete update runs: what the user sees, and what the Kavix holds afterwards.
#include <gtest/gtest.h>

#include <set>

#include "scenario_steps.h"

namespace e2e {
namespace {

// From a user's folder whose name the ANSI code page cannot spell.
TEST(FullRun, WritesImageAndRestoresDeviceData) {
    Scenario scenario;
    scenario.userFolder = L"\u0141ukasz-\u4e2d";
    Orvflash app(scenario);
    EXPECT_EQ(app.Log(), kWelcome);
    EXPECT_EQ(app.BarPos(), 0);

    app.ClickUpdate();
    const Box question = app.WaitForBox("Question");
    EXPECT_EQ(question.text, SerialQuestion(kTestSerial));
    EXPECT_EQ(question.owner, nullptr) << "the question leaves the window usable";
    EXPECT_EQ(question.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_TRUE(question.icon) << "the question mark";
    EXPECT_EQ(app.Log(), LogOf({kIdentifying}));
    // Nothing is erased while the user still decides.
    ExpectCalls(app.Trace(), PreparationCalls());

    app.Answer(question, IDYES);
    app.WaitForLogLine(kSafeToClose, kRunTimeoutMs);
    const HWND bar = app.Control(PROGRESS_CLASSA, IDC_PROGRESS);
    EXPECT_EQ(Send(bar, PBM_GETRANGE, TRUE), 0);
    EXPECT_EQ(Send(bar, PBM_GETRANGE, FALSE), 200);
    EXPECT_EQ(app.BarPos(), 200);
    FinishRun(app, {kIdentifying, kUpdating});
    EXPECT_EQ(app.ExitCode(), 0u);
    const Bytes flash = app.Flash();
    ExpectFlash(flash, FlashAfterRun(app.InitialFlash(), app.Image()));
    EXPECT_EQ(VersionOf(flash), 5);
    const std::vector<DeviceCall> calls = app.Trace();
    ExpectCalls(calls, CompleteRunCalls(layout::kImageLimit));
    // The preparation runs on the window's thread and the programming on a worker of its own.
    std::set<std::string> preparation, programming;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].status, 0) << calls[i].function << " " << calls[i].index;
        (i < PreparationCalls().size() ? preparation : programming).insert(calls[i].thread);
    }
    ASSERT_EQ(preparation.size(), 1u);
    ASSERT_EQ(programming.size(), 1u);
    EXPECT_NE(*preparation.begin(), *programming.begin());
}

// 1,000 bytes: four pages, the last one a quarter filled, the rest of it written as 0xFF.
TEST(FullRun, ShortImageIsWrittenInWholePages) {
    Orvflash app(Scenario{{}, DeviceFlash(), Pattern(1000, 9)});
    ConfirmUpdate(app);
    FinishRun(app, {kIdentifying, kUpdating});
    const Bytes flash = app.Flash();
    ExpectFlash(flash, FlashAfterRun(app.InitialFlash(), app.Image()));
    EXPECT_EQ(flash[999], app.Image()[999]);
    EXPECT_EQ(flash[1000], 0xFF);
    ExpectCalls(app.Trace(), CompleteRunCalls(1000));
}

// A device already at version 5 or later is asked about twice and keeps its own version.
TEST(FullRun, NewerDeviceIsUpdatedOnlyAfterTwoYesAnswers) {
    Orvflash app(Scenario{{}, DeviceFlash(kTestSerial, 7)});
    app.ClickUpdate();
    const Box upToDate = app.WaitForBox("Question");
    EXPECT_EQ(upToDate.text, kUpToDateQuestion);
    EXPECT_EQ(app.Log(), LogOf({kIdentifying, kUpToDate}));
    app.Answer(upToDate, IDYES);
    const Box serial = app.WaitForBox("Question");
    EXPECT_EQ(serial.text, SerialQuestion(kTestSerial));
    app.Answer(serial, IDYES);

    FinishRun(app, {kIdentifying, kUpToDate, kUpdating});
    const Bytes flash = app.Flash();
    ExpectFlash(flash, FlashAfterRun(app.InitialFlash(), app.Image()));
    EXPECT_EQ(VersionOf(flash), 7);
}

}  // namespace
}  // namespace e2e
