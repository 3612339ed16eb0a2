// Complete update runs: what the user sees, and what the Kavix holds afterwards.
#include <gtest/gtest.h>

#include <set>

#include "scenario_steps.h"

namespace e2e {
namespace {

// The preparation runs on the window's thread and the programming on a worker of its own.
void ExpectPreparationAndProgrammingThreads(const std::vector<DeviceCall>& calls) {
    std::set<std::string> preparation;
    std::set<std::string> programming;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        (i < PreparationCalls().size() ? preparation : programming).insert(calls[i].thread);
    }
    ASSERT_EQ(preparation.size(), 1u);
    ASSERT_EQ(programming.size(), 1u);
    EXPECT_NE(*preparation.begin(), *programming.begin());
}

void ExpectAllSucceeded(const std::vector<DeviceCall>& calls) {
    for (const DeviceCall& call : calls) {
        EXPECT_EQ(call.status, 0) << call.function << " " << call.index;
    }
}

// From a user's folder whose name the ANSI code page cannot spell.
TEST(FullRun, WritesImageAndRestoresDeviceData) {
    Scenario scenario;
    scenario.userFolder = L"\u0141ukasz-\u4e2d";
    Orvflash app(scenario);
    EXPECT_EQ(app.LogLines(), kWelcome);
    EXPECT_EQ(app.BarPos(), 0);

    app.ClickUpdate();
    const MessageBoxWindow question = app.WaitForBox("Question");
    EXPECT_EQ(question.text, SerialQuestion(20481234));
    EXPECT_EQ(question.owner, nullptr) << "the question leaves the window usable";
    EXPECT_EQ(question.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_TRUE(question.icon) << "the question mark";
    EXPECT_EQ(app.LogLines(), LogOf({kIdentifying}));
    // Nothing is erased while the user still decides.
    ExpectCalls(app.Trace(), PreparationCalls());

    app.Answer(question, IDYES);
    app.WaitForLogLine(kSafeToClose, kRunTimeoutMs);
    EXPECT_EQ(app.LogLines(), LogOf({kIdentifying, kUpdating}, {kFinished}));
    EXPECT_EQ(app.BarRange(), (std::pair<int, int>(0, 200)));
    EXPECT_EQ(app.BarPos(), 200);

    app.ClickDone();
    ASSERT_TRUE(app.WaitForExit(kStepTimeoutMs));
    const Bytes flash = app.Flash();
    ExpectFlash(flash, FlashAfterRun(app.InitialFlash(), app.Image()));
    EXPECT_EQ(VersionOf(flash), 5);
    const std::vector<DeviceCall> calls = app.Trace();
    ExpectCalls(calls, CompleteRunCalls(layout::kImageLimit));
    ExpectAllSucceeded(calls);
    ExpectPreparationAndProgrammingThreads(calls);
}

// 1,000 bytes: four pages, the last one a quarter filled, the rest of it written as 0xFF.
TEST(FullRun, ShortImageIsWrittenInWholePages) {
    Scenario scenario;
    scenario.image = Pattern(1000, 9);
    Orvflash app(scenario);
    ConfirmUpdate(app);
    app.WaitForLogLine(kSafeToClose, kRunTimeoutMs);
    EXPECT_EQ(app.LogLines(), LogOf({kIdentifying, kUpdating}, {kFinished}));
    app.ClickDone();
    ASSERT_TRUE(app.WaitForExit(kStepTimeoutMs));

    const Bytes flash = app.Flash();
    ExpectFlash(flash, FlashAfterRun(app.InitialFlash(), app.Image()));
    EXPECT_EQ(flash[999], app.Image()[999]);
    EXPECT_EQ(flash[1000], 0xFF);
    ExpectCalls(app.Trace(), CompleteRunCalls(1000));
}

// A device already at version 5 or later is asked about twice and keeps its own version.
TEST(FullRun, NewerDeviceIsUpdatedOnlyAfterTwoYesAnswers) {
    Scenario scenario;
    scenario.flash = DeviceFlash(20481234, 7);
    Orvflash app(scenario);

    app.ClickUpdate();
    const MessageBoxWindow upToDate = app.WaitForBox("Question");
    EXPECT_EQ(upToDate.text, kUpToDateQuestion);
    EXPECT_EQ(app.LogLines(), LogOf({kIdentifying, kUpToDate}));
    app.Answer(upToDate, IDYES);
    const MessageBoxWindow serial = app.WaitForBox("Question");
    EXPECT_EQ(serial.text, SerialQuestion(20481234));
    app.Answer(serial, IDYES);

    app.WaitForLogLine(kSafeToClose, kRunTimeoutMs);
    EXPECT_EQ(app.LogLines(), LogOf({kIdentifying, kUpToDate, kUpdating}, {kFinished}));
    app.ClickDone();
    ASSERT_TRUE(app.WaitForExit(kStepTimeoutMs));
    const Bytes flash = app.Flash();
    ExpectFlash(flash, FlashAfterRun(app.InitialFlash(), app.Image()));
    EXPECT_EQ(VersionOf(flash), 7);
}

TEST(FullRun, DeviceAtVersionFiveDeclinedKeepsEverything) {
    Scenario scenario;
    scenario.flash = DeviceFlash(20481234, 5);
    Orvflash app(scenario);

    app.ClickUpdate();
    const MessageBoxWindow upToDate = app.WaitForBox("Question");
    EXPECT_EQ(upToDate.text, kUpToDateQuestion);
    app.Answer(upToDate, IDNO);
    app.Sync();
    EXPECT_FALSE(app.BoxOpen("Question")) << "no serial question after No";
    EXPECT_EQ(app.LogLines(), LogOf({kIdentifying, kUpToDate}));

    app.ClickDone();
    ExpectClosesWithoutAsking(app);
    ExpectFlash(app.Flash(), app.InitialFlash());
    ExpectCalls(app.Trace(), PreparationCalls());
}

// The serial is a signed 32-bit number to the user.
TEST(FullRun, SerialAboveTwoToThe31IsShownNegative) {
    Scenario scenario;
    scenario.flash = DeviceFlash(int32_t(3000000000u), 4);
    Orvflash app(scenario);
    app.ClickUpdate();
    const MessageBoxWindow question = app.WaitForBox("Question");
    EXPECT_EQ(question.text, SerialQuestion(-1294967296));
    app.Answer(question, IDNO);
}

}  // namespace
}  // namespace e2e
