// Runs that end in a failure: the exact words the user gets, and what is left on the Kavix.
#include <gtest/gtest.h>

#include "scenario_steps.h"

namespace e2e {
namespace {

// Stopped before anything is erased, by the program or by the user's No: the flash must be exactly
// as it was.
struct Refusal {
    const char* name;
    DWORD exitCode;
    Lines log;  // after the welcome text
    std::vector<std::string> calls;
    Scenario scenario;
    std::string question = "";  // answered No; none if empty
    friend void PrintTo(const Refusal& row, std::ostream* out) { *out << row.name; }
};

class RefusedRun : public ::testing::TestWithParam<Refusal> {};

TEST_P(RefusedRun, SaysWhyAndLeavesFlashAlone) {
    const Refusal& refusal = GetParam();
    Orvflash app(refusal.scenario);
    app.ClickUpdate();
    if (!refusal.question.empty()) {
        const Box question = app.WaitForBox("Question");
        EXPECT_EQ(question.text, refusal.question);
        app.Answer(question, IDNO);
    }
    const Lines log = Concat(kWelcome, refusal.log);
    ExpectLog(app, log);
    app.Sync();
    EXPECT_FALSE(app.BoxOpen("Question")) << "no question after the refusal or the No";
    EXPECT_EQ(app.BarPos(), 0);
    if (refusal.scenario.image) {
        EXPECT_EQ(OpenError(app.ImagePath()), DWORD(ERROR_SHARING_VIOLATION))
            << "the image stays open, unshared, until the program ends";
    }
    ExpectAlreadyStartedWarning(app);
    EXPECT_EQ(app.Log(), log);

    app.ClickDone();
    ExpectClosesWithoutAsking(app);
    EXPECT_EQ(app.ExitCode(), refusal.exitCode);
    if (!refusal.question.empty()) {
        // The computer's log keeps what was asked and answered, which the window does not show.
        const std::string log = ReadText(Orvflash::ComputerLog());
        EXPECT_NE(log.find("Question: " + refusal.question), std::string::npos);
        EXPECT_NE(log.find("Answer: No (in the window)"), std::string::npos);
    }
    ExpectFlash(app.Flash(), app.InitialFlash());
    ExpectCalls(app.Trace(), refusal.calls);
}

const Bytes::size_type kFull = layout::kImageLimit;
const std::vector<std::string> kTypeCalls = {"orvOpenDevice", "orvGetDeviceType"};

std::vector<std::string> ReadsUpTo(int lastSector) {
    std::vector<std::string> calls = kTypeCalls;
    for (int sector = 8; sector <= lastSector; ++sector) {
        calls.push_back("orvReadFlash " + std::to_string(sector));
    }
    return calls;
}

const Lines kIdentified = {kIdentifying};

INSTANTIATE_TEST_SUITE_P(
    , RefusedRun,
    ::testing::ValuesIn(std::vector<Refusal>{
        {"NoImageFile", 4, kMissingImage, {}, {{}, DeviceFlash(), std::nullopt}},
        {"ImageOneByteTooLarge", 4, kImageTooLarge, {}, {{}, DeviceFlash(), Pattern(kFull + 1, 3)}},
        {"EmptyImage", 4, kEmptyImage, {}, {{}, DeviceFlash(), Bytes()}},
        {"DeviceDoesNotOpen",
         3,
         Concat(kIdentified, kOpenFailed),
         {"orvOpenDevice"},
         {{{"ORV_SIM_OPEN_FAIL", "1"}}}},
        {"DeviceOfTypeTwo",
         3,
         Concat(kIdentified, kNotAKavix),
         kTypeCalls,
         {{{"ORV_SIM_TYPE", "2"}}}},
        {"TypeCallStoresNothing",
         3,
         Concat(kIdentified, kNotAKavix),
         kTypeCalls,
         {{{"ORV_SIM_TYPE_STORES_NOTHING", "1"}}}},
        {"ReadFailsAtSector12",
         3,
         Concat(kIdentified, kReadFailed),
         ReadsUpTo(12),
         {{{"ORV_SIM_READ_FAIL_SECTOR", "12"}}}},
        {"SerialQuestionAnsweredNo",
         6,
         kIdentified,
         PreparationCalls(),
         {},
         SerialQuestion(kTestSerial)},
        // The serial is a signed 32-bit number to the user.
        {"SerialAboveTwoToThe31IsShownNegative",
         6,
         kIdentified,
         PreparationCalls(),
         {{}, DeviceFlash(int32_t(3000000000u), 4)},
         SerialQuestion(-1294967296)},
        // A device already at version 5 is asked about first; after No, no serial question.
        {"DeviceAtVersionFiveDeclined",
         2,
         {kIdentifying, kUpToDate},
         PreparationCalls(),
         {{}, DeviceFlash(kTestSerial, 5)},
         kUpToDateQuestion}}),
    ::testing::PrintToStringParamName());

// The device fails during programming. Every write is still tried, so what can be put back is,
// but none over a failed erase; the user is told it did not complete, and nothing claims success.
struct DeviceFault {
    const char* name;
    Variables faults;
    const char* failingCall;             // the one call the device refuses
    std::size_t gone = std::size_t(-1);  // or every call from this 0-based position on
    const Lines& error = kWriteError;
    std::size_t calls = std::size_t(-1);  // the first calls of a run that are made; all if -1
    std::vector<std::string> after = {};  // and the calls made after them
    DWORD exitCode = 1;                   // failed after the Kavix was changed
    friend void PrintTo(const DeviceFault& row, std::ostream* out) { *out << row.name; }
};

class FailedProgramming : public ::testing::TestWithParam<DeviceFault> {};

TEST_P(FailedProgramming, ReportsErrorAndWritesWhatItCan) {
    const DeviceFault& fault = GetParam();
    Orvflash app(Scenario{fault.faults});
    ConfirmUpdate(app);
    ExpectLog(app, LogOf({kIdentifying, kUpdating}, {fault.error}), kRunTimeoutMs);
    EXPECT_FALSE(Has(app.Log(), kFinishedUpdating));

    app.ClickDone();
    ExpectClosesWithoutAsking(app);
    EXPECT_EQ(app.ExitCode(), fault.exitCode);
    std::vector<std::string> attempted = AttemptedRunCalls(layout::kImageLimit);
    attempted.resize(std::min(attempted.size(), fault.calls));
    attempted.insert(attempted.end(), fault.after.begin(), fault.after.end());
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
    ::testing::ValuesIn(std::vector<DeviceFault>{
        // Open, type, eight reads, sixteen again and the erase; then the first MiB read again,
        // which holds what it held: the copy goes, and nothing was changed.
        {"EraseFails",
         {{"ORV_SIM_ERASE_FAIL", "1"}},
         "orvClearFlash",
         std::size_t(-1),
         kEraseNothingChanged,
         27,
         FirstMiBReads(),
         3},
        {"WriteFailsAtImagePage1000", {{"ORV_SIM_WRITE_FAIL_PAGE", "1000"}}, "orvWriteFlash 1000"},
        {"WriteFailsAtDataPage3000", {{"ORV_SIM_WRITE_FAIL_PAGE", "3000"}}, "orvWriteFlash 3000"},
        // Open, type, 8 reads, 16 again, erase and 700 writes reach the device; then it is gone.
        {"UnpluggedAfter700Pages", {{"ORV_SIM_UNPLUG_AFTER", "727"}}, "", 727}}),
    ::testing::PrintToStringParamName());

}  // namespace
}  // namespace e2e
