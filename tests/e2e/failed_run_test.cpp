// Runs that end in a failure: the exact words the user gets, and what is left on the Kavix.
#include <gtest/gtest.h>

#include "scenario_steps.h"

namespace e2e {
namespace {

using Variables = std::vector<std::pair<std::string, std::string>>;

// Stopped before anything is erased: the flash must be exactly as it was.
struct Refusal {
    const char* name;
    long imageLength;  // -1: no image file
    Variables sim;
    Lines log;  // after the welcome text
    std::vector<std::string> calls;
};

void PrintTo(const Refusal& refusal, std::ostream* out) {
    *out << refusal.name;
}

class RefusedRun : public ::testing::TestWithParam<Refusal> {};

TEST_P(RefusedRun, SaysWhyAndLeavesFlashAlone) {
    const Refusal& refusal = GetParam();
    Scenario scenario;
    scenario.sim = refusal.sim;
    if (refusal.imageLength < 0) {
        scenario.image.reset();
    } else {
        scenario.image = Pattern(std::size_t(refusal.imageLength), 3);
    }
    Orvflash app(scenario);

    app.ClickUpdate();
    ExpectLog(app, Concat(kWelcome, refusal.log));
    app.Sync();
    EXPECT_FALSE(app.BoxOpen("Question"));
    EXPECT_EQ(app.BarPos(), 0);
    if (scenario.image) {
        EXPECT_EQ(OpenError(app.ImagePath()), DWORD(ERROR_SHARING_VIOLATION))
            << "the image stays open, unshared, until the program ends";
    }

    // No second try without a restart.
    app.ClickUpdate();
    const MessageBoxWindow warning = app.WaitForBox("Warning");
    EXPECT_EQ(warning.text, kAlreadyStarted);
    app.Answer(warning, IDOK);
    EXPECT_EQ(app.LogLines(), Concat(kWelcome, refusal.log));

    app.ClickDone();
    ExpectClosesWithoutAsking(app);
    ExpectFlash(app.Flash(), app.InitialFlash());
    ExpectCalls(app.Trace(), refusal.calls);
}

std::vector<std::string> ReadsUpTo(int lastSector) {
    std::vector<std::string> calls = {"orvOpenDevice", "orvGetDeviceType"};
    for (int sector = 8; sector <= lastSector; ++sector) {
        calls.push_back("orvReadFlash " + std::to_string(sector));
    }
    return calls;
}

INSTANTIATE_TEST_SUITE_P(
    , RefusedRun,
    ::testing::Values(
        Refusal{"NoImageFile", -1, {}, kMissingImage, {}},
        Refusal{"ImageOneByteTooLarge", long(layout::kImageLimit) + 1, {}, kImageTooLarge, {}},
        Refusal{"EmptyImage", 0, {}, kEmptyImage, {}},
        Refusal{"DeviceDoesNotOpen",
                long(layout::kImageLimit),
                {{"ORV_SIM_OPEN_FAIL", "1"}},
                Concat({kIdentifying}, kOpenFailed),
                {"orvOpenDevice"}},
        Refusal{"DeviceOfTypeTwo",
                long(layout::kImageLimit),
                {{"ORV_SIM_TYPE", "2"}},
                Concat({kIdentifying}, kNotAKavix),
                {"orvOpenDevice", "orvGetDeviceType"}},
        Refusal{"TypeCallStoresNothing",
                long(layout::kImageLimit),
                {{"ORV_SIM_TYPE_STORES_NOTHING", "1"}},
                Concat({kIdentifying}, kNotAKavix),
                {"orvOpenDevice", "orvGetDeviceType"}},
        Refusal{"ReadFailsAtSector12",
                long(layout::kImageLimit),
                {{"ORV_SIM_READ_FAIL_SECTOR", "12"}},
                Concat({kIdentifying}, kReadFailed),
                ReadsUpTo(12)}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST(DeclinedRun, SerialQuestionAnsweredNo) {
    Orvflash app(Scenario{});
    app.ClickUpdate();
    const MessageBoxWindow question = app.WaitForBox("Question");
    app.Answer(question, IDNO);
    app.Sync();
    EXPECT_FALSE(app.BoxOpen("Question"));
    EXPECT_EQ(app.LogLines(), LogOf({kIdentifying}));

    app.ClickUpdate();
    const MessageBoxWindow warning = app.WaitForBox("Warning");
    EXPECT_EQ(warning.text, kAlreadyStarted);
    EXPECT_EQ(warning.owner, app.Window());
    EXPECT_EQ(warning.buttons, std::vector<int>{IDOK});
    EXPECT_FALSE(warning.icon);
    app.Answer(warning, IDOK);

    app.ClickDone();
    ExpectClosesWithoutAsking(app);
    ExpectFlash(app.Flash(), app.InitialFlash());
    ExpectCalls(app.Trace(), PreparationCalls());
}

// The device fails during programming. Every write is still tried, so what can be put back is;
// the user is told it did not complete, and nothing claims success.
struct DeviceFault {
    const char* name;
    Variables sim;
    bool (*fails)(std::size_t position, const std::string& call);
};

void PrintTo(const DeviceFault& fault, std::ostream* out) {
    *out << fault.name;
}

class FailedProgramming : public ::testing::TestWithParam<DeviceFault> {};

TEST_P(FailedProgramming, ReportsErrorAndWritesWhatItCan) {
    const DeviceFault& fault = GetParam();
    Scenario scenario;
    scenario.sim = fault.sim;
    Orvflash app(scenario);
    ConfirmUpdate(app);
    ExpectLog(app, LogOf({kIdentifying, kUpdating}, {kWriteError}), kRunTimeoutMs);
    EXPECT_FALSE(app.HasLogLine(kFinishedUpdating));

    app.ClickDone();
    ExpectClosesWithoutAsking(app);
    const std::vector<std::string> attempted = AttemptedRunCalls(layout::kImageLimit);
    const std::vector<DeviceCall> expected = CallsWithStatus(attempted, fault.fails);
    const std::vector<DeviceCall> calls = app.Trace();
    ASSERT_EQ(FirstDifference(CallNames(calls), attempted), "");
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].status != 0, expected[i].status != 0) << attempted[i];
    }
    ExpectFlash(app.Flash(), ReplayTrace(app.InitialFlash(), app.Image(), expected));
}

INSTANTIATE_TEST_SUITE_P(
    , FailedProgramming,
    ::testing::Values(
        DeviceFault{"EraseFails",
                    {{"ORV_SIM_ERASE_FAIL", "1"}},
                    [](std::size_t, const std::string& call) { return call == "orvClearFlash"; }},
        DeviceFault{
            "WriteFailsAtImagePage1000",
            {{"ORV_SIM_WRITE_FAIL_PAGE", "1000"}},
            [](std::size_t, const std::string& call) { return call == "orvWriteFlash 1000"; }},
        DeviceFault{
            "WriteFailsAtDataPage3000",
            {{"ORV_SIM_WRITE_FAIL_PAGE", "3000"}},
            [](std::size_t, const std::string& call) { return call == "orvWriteFlash 3000"; }},
        // Open, type, 8 reads, the first read again, erase and 700 writes reach the device; then
        // it is gone.
        DeviceFault{"UnpluggedAfter700Pages",
                    {{"ORV_SIM_UNPLUG_AFTER", "712"}},
                    [](std::size_t position, const std::string&) { return position >= 712; }}),
    [](const ::testing::TestParamInfo<DeviceFault>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
