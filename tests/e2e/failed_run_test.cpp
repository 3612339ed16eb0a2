// Runs that end in a failure: the exact words the user gets, and what is left on the Kavix.
#include <gtest/gtest.h>

#include <algorithm>

#include "scenario_steps.h"

namespace e2e {
namespace {

// Stopped before anything is erased: the flash must be exactly as it was.
struct Refusal {
    const char* name;
    long imageLength;  // -1: no image file
    Variables faults;
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
    scenario.faults = refusal.faults;
    scenario.image.reset();
    if (refusal.imageLength >= 0) {
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
    ExpectAlreadyStartedWarning(app);
    EXPECT_EQ(app.Log(), Concat(kWelcome, refusal.log));

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

const long kFull = long(layout::kImageLimit);

INSTANTIATE_TEST_SUITE_P(
    , RefusedRun,
    ::testing::Values(Refusal{"NoImageFile", -1, {}, kMissingImage, {}},
                      Refusal{"ImageOneByteTooLarge", kFull + 1, {}, kImageTooLarge, {}},
                      Refusal{"EmptyImage", 0, {}, kEmptyImage, {}},
                      Refusal{"DeviceDoesNotOpen",
                              kFull,
                              {{"ORV_SIM_OPEN_FAIL", "1"}},
                              Concat({kIdentifying}, kOpenFailed),
                              {"orvOpenDevice"}},
                      Refusal{"DeviceOfTypeTwo",
                              kFull,
                              {{"ORV_SIM_TYPE", "2"}},
                              Concat({kIdentifying}, kNotAKavix),
                              {"orvOpenDevice", "orvGetDeviceType"}},
                      Refusal{"TypeCallStoresNothing",
                              kFull,
                              {{"ORV_SIM_TYPE_STORES_NOTHING", "1"}},
                              Concat({kIdentifying}, kNotAKavix),
                              {"orvOpenDevice", "orvGetDeviceType"}},
                      Refusal{"ReadFailsAtSector12",
                              kFull,
                              {{"ORV_SIM_READ_FAIL_SECTOR", "12"}},
                              Concat({kIdentifying}, kReadFailed),
                              ReadsUpTo(12)}),
    ::testing::PrintToStringParamName());

TEST(DeclinedRun, SerialQuestionAnsweredNo) {
    Orvflash app(Scenario{});
    app.ClickUpdate();
    app.Answer(app.WaitForBox("Question"), IDNO);
    app.Sync();
    EXPECT_FALSE(app.BoxOpen("Question"));
    EXPECT_EQ(app.Log(), LogOf({kIdentifying}));
    ExpectAlreadyStartedWarning(app);

    app.ClickDone();
    ExpectClosesWithoutAsking(app);
    ExpectFlash(app.Flash(), app.InitialFlash());
    ExpectCalls(app.Trace(), PreparationCalls());
}

// The device fails during programming. Every write is still tried, so what can be put back is;
// the user is told it did not complete, and nothing claims success.
struct DeviceFault {
    const char* name;
    Variables faults;
    const char* failingCall;             // the one call the device refuses
    std::size_t gone = std::size_t(-1);  // or every call from this 0-based position on
};

void PrintTo(const DeviceFault& fault, std::ostream* out) {
    *out << fault.name;
}

class FailedProgramming : public ::testing::TestWithParam<DeviceFault> {};

TEST_P(FailedProgramming, ReportsErrorAndWritesWhatItCan) {
    const DeviceFault& fault = GetParam();
    Scenario scenario;
    scenario.faults = fault.faults;
    Orvflash app(scenario);
    ConfirmUpdate(app);
    ExpectLog(app, LogOf({kIdentifying, kUpdating}, {kWriteError}), kRunTimeoutMs);
    EXPECT_FALSE(Has(app.Log(), kFinishedUpdating));

    app.ClickDone();
    ExpectClosesWithoutAsking(app);
    const std::vector<std::string> attempted = AttemptedRunCalls(layout::kImageLimit);
    std::vector<DeviceCall> calls = app.Trace();
    ASSERT_EQ(FirstDifference(CallNames(calls), attempted), "");
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const bool fails = attempted[i] == fault.failingCall || i >= fault.gone;
        EXPECT_EQ(calls[i].status != 0, fails) << attempted[i];
        calls[i].status = fails ? 1 : 0;  // the flash must follow what the device was to do
    }
    ExpectFlash(app.Flash(), ReplayTrace(app.InitialFlash(), app.Image(), calls));
}

INSTANTIATE_TEST_SUITE_P(
    , FailedProgramming,
    ::testing::Values(DeviceFault{"EraseFails", {{"ORV_SIM_ERASE_FAIL", "1"}}, "orvClearFlash"},
                      DeviceFault{"WriteFailsAtImagePage1000",
                                  {{"ORV_SIM_WRITE_FAIL_PAGE", "1000"}},
                                  "orvWriteFlash 1000"},
                      DeviceFault{"WriteFailsAtDataPage3000",
                                  {{"ORV_SIM_WRITE_FAIL_PAGE", "3000"}},
                                  "orvWriteFlash 3000"},
                      // Open, type, 8 reads, the first read again, erase and 700 writes reach the
                      // device; then it is gone.
                      DeviceFault{
                          "UnpluggedAfter700Pages", {{"ORV_SIM_UNPLUG_AFTER", "712"}}, "", 712}),
    ::testing::PrintToStringParamName());

}  // namespace
}  // namespace e2e
