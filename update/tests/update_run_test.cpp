// The update run against the simulated Kavix: what it calls, what it leaves in the flash, what it
// tells the user.
#include "update_fixture.h"

using namespace flash_map;

TEST_F(UpdateRunTest, FullRunProgramsImageAndRestoresDataBlock) {
    const Bytes before = device.ReadFlash();
    const Bytes image = Pattern(100 * 256, 1);
    device.WriteImage(image);

    Click();

    EXPECT_EQ(device.ReadFlash(), FlashAfterRun(before, image));
    EXPECT_EQ(window.Log(), Concat({kIdentifying}, kFinishedLines));
    EXPECT_EQ(window.RunEnds(), std::vector<bool>{true});
    EXPECT_EQ(window.Questions(), Lines{kSerialQuestion});
    EXPECT_TRUE(window.Warnings().empty());
    EXPECT_EQ(SerialNumber(), 20481234);
    EXPECT_TRUE(Started());
    EXPECT_FALSE(run->IsUpdating());

    // Open, type, eight reads on the clicking thread; the rest on the worker, every call a success.
    const auto calls = device.Calls();
    EXPECT_EQ(FirstDifference(CallNames(calls), CompleteRunCalls(image.size())), "");
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const auto& first = calls[i < 10 ? 0 : 10].thread;
        ASSERT_EQ(calls[i].thread, first) << i;
        ASSERT_EQ(calls[i].status, 0) << i;
    }
    EXPECT_NE(calls[0].thread, calls[10].thread);
}

TEST_F(UpdateRunTest, ProgressMovesAtThrottledPages) {
    device.WriteImage(Pattern(100 * 256, 2));
    Click();

    EXPECT_EQ(window.rangeLow, 0);
    EXPECT_EQ(window.rangeHigh, 200);
    // Threshold 15: moves after image pages 16, 33, 50, 67, 84; then every 162 restored pages,
    // after restored indices 161, 323, ..., 1457; then 200.
    std::vector<int> expectedWrites = {0, 17, 34, 51, 68, 85};
    for (int k = 1; k <= 9; ++k) {
        expectedWrites.push_back(100 + 162 * k);
    }
    expectedWrites.push_back(100 + 1556);
    const auto moves = window.Moves();
    ASSERT_EQ(moves.size(), expectedWrites.size());
    for (std::size_t i = 0; i < moves.size(); ++i) {
        EXPECT_EQ(moves[i].writesBefore, expectedWrites[i]) << i;
        const int expectedPosition = i + 1 == moves.size() ? 200 : int(i) * 11;
        EXPECT_EQ(moves[i].position, expectedPosition) << i;
    }
}

TEST_F(UpdateRunTest, FullSizeImageKeepsBarAtMost198BeforeTheEnd) {
    const Bytes before = device.ReadFlash();
    const Bytes image = Pattern(kImageSize, 3);
    device.WriteImage(image);
    Click();

    const auto moves = window.Moves();
    ASSERT_EQ(moves.size(), 1u + 9 + 9 + 1);
    EXPECT_EQ(moves[moves.size() - 2].position, 198);
    EXPECT_EQ(moves.back().position, 200);
    EXPECT_EQ(device.ReadFlash(), FlashAfterRun(before, image));
}

class ImageSizeTest : public UpdateRunTest, public ::testing::WithParamInterface<int> {};

TEST_P(ImageSizeTest, WritesThePagesTheLengthNeedsPaddedWithFF) {
    const int length = GetParam();
    const Bytes before = device.ReadFlash();
    const Bytes image = Pattern(std::size_t(length), 4);
    device.WriteImage(image);
    Click();

    int imagePages = 0;
    for (const auto& call : device.Calls()) {
        imagePages += call.function == "orvWriteFlash" && call.index < 2048;
    }
    EXPECT_EQ(imagePages, (length + 255) / 256);
    // Padding of the last page and the rest of the image region read as erased.
    EXPECT_EQ(device.ReadFlash(), FlashAfterRun(before, image));
    EXPECT_EQ(window.Log(), Concat({kIdentifying}, kFinishedLines));
}

INSTANTIATE_TEST_SUITE_P(Lengths, ImageSizeTest,
                         ::testing::Values(1, 255, 256, 257, kImageSize - 1, kImageSize));

class VersionTest : public UpdateRunTest,
                    public ::testing::WithParamInterface<std::pair<uint16_t, uint16_t>> {};

TEST_P(VersionTest, RaisesOnlyOlderVersionsAndAsksWhenUpToDate) {
    const auto [found, restored] = GetParam();
    device.WriteFlash(DeviceFlash(20481234, found));
    const Bytes before = device.ReadFlash();
    device.WriteImage(Pattern(1000, 5));
    Click();

    EXPECT_EQ(device.ReadFlash(), FlashAfterRun(before, Pattern(1000, 5)));
    EXPECT_EQ(VersionOf(device.ReadFlash()), restored);
    if (found < 5) {
        EXPECT_EQ(window.Questions(), Lines{kSerialQuestion});
        EXPECT_EQ(window.Log(), Concat({kIdentifying}, kFinishedLines));
    } else {
        EXPECT_EQ(window.Questions(), (Lines{kUpToDateQuestion, kSerialQuestion}));
        EXPECT_EQ(window.Log(), Concat({kIdentifying, kUpToDate}, kFinishedLines));
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionTest,
                         ::testing::Values(std::make_pair(uint16_t(0), uint16_t(5)),
                                           std::make_pair(uint16_t(3), uint16_t(5)),
                                           std::make_pair(uint16_t(4), uint16_t(5)),
                                           std::make_pair(uint16_t(5), uint16_t(5)),
                                           std::make_pair(uint16_t(7), uint16_t(7)),
                                           std::make_pair(uint16_t(0x105), uint16_t(0x105))));

TEST_F(UpdateRunTest, ErasedDataBlockKeeps65535AndShowsSerialMinusOne) {
    Bytes flash = DeviceFlash(0, 0);
    std::fill(flash.begin() + kDataBlockOffset, flash.begin() + kDataBlockOffset + kDataBlockSize,
              0xFF);
    device.WriteFlash(flash);
    device.WriteImage(Pattern(512, 6));
    Click();

    EXPECT_EQ(SerialNumber(), -1);
    EXPECT_EQ(window.Questions(), (Lines{kUpToDateQuestion, SerialQuestion(-1)}));
    EXPECT_EQ(device.ReadFlash(), FlashAfterRun(flash, Pattern(512, 6)));
    EXPECT_EQ(VersionOf(device.ReadFlash()), 0xFFFF);
}

// Every abort before the last Yes leaves the flash as it was and makes no further device call.
struct AbortCase {
    const char* name;
    std::vector<std::pair<const char*, const char*>> faults;
    bool writeImage;
    long imageLength;
    std::vector<int> answers;
    Lines log;
    std::vector<std::string> calls;
};

void PrintTo(const AbortCase& c, std::ostream* os) {
    *os << c.name;
}

class AbortTest : public UpdateRunTest, public ::testing::WithParamInterface<AbortCase> {};

TEST_P(AbortTest, StopsWithItsMessagesAndLeavesTheFlashAlone) {
    const AbortCase& c = GetParam();
    for (const auto& [name, value] : c.faults) {
        SimDevice::SetFault(name, value);
    }
    device.WriteFlash(DeviceFlash(20481234, c.answers.size() > 1 ? 5 : 4));
    const Bytes before = device.ReadFlash();
    if (c.writeImage) {
        device.WriteImage(Pattern(std::size_t(c.imageLength), 8));
    }
    window.answers.assign(c.answers.begin(), c.answers.end());

    Click();

    EXPECT_EQ(window.Log(), c.log);
    EXPECT_EQ(CallNames(device.Calls()), c.calls);
    EXPECT_EQ(window.workerStarts, 0);
    EXPECT_TRUE(window.RunEnds().empty());
    EXPECT_FALSE(run->IsUpdating());
    EXPECT_TRUE(Started());
    EXPECT_EQ(device.ReadFlash(), before);

    // Stopped: the run cannot be retried in this program instance.
    Click();
    EXPECT_EQ(window.Warnings().size(), 1u);
    EXPECT_EQ(window.Log(), c.log);
    EXPECT_EQ(CallNames(device.Calls()), c.calls);
}

const std::vector<std::string> kIdentified = {"orvOpenDevice", "orvGetDeviceType"};
const std::vector<std::string> kSaved = PreparationCalls();
// Open, type, and the reads of sectors 8 to 12.
const std::vector<std::string> kReadsTo12(kSaved.begin(), kSaved.begin() + 7);

INSTANTIATE_TEST_SUITE_P(
    Aborts, AbortTest,
    ::testing::Values(AbortCase{"MissingImage", {}, false, 0, {}, kMissingImage, {}},
                      AbortCase{"ImageTooLarge", {}, true, kImageSize + 1, {}, kImageTooLarge, {}},
                      AbortCase{"EmptyImage", {}, true, 0, {}, kEmptyImage, {}},
                      AbortCase{"OpenFails",
                                {{"ORV_SIM_OPEN_FAIL", "1"}},
                                true,
                                256,
                                {},
                                Concat({kIdentifying}, kOpenFailed),
                                {"orvOpenDevice"}},
                      AbortCase{"NotAKavix",
                                {{"ORV_SIM_TYPE", "2"}},
                                true,
                                256,
                                {},
                                Concat({kIdentifying}, kNotAKavix),
                                kIdentified},
                      AbortCase{"TypeCallStoresNothing",
                                {{"ORV_SIM_TYPE_STORES_NOTHING", "1"}},
                                true,
                                256,
                                {},
                                Concat({kIdentifying}, kNotAKavix),
                                kIdentified},
                      AbortCase{"ReadFailsAtSector12",
                                {{"ORV_SIM_READ_FAIL_SECTOR", "12"}},
                                true,
                                256,
                                {},
                                Concat({kIdentifying}, kReadFailed),
                                kReadsTo12},
                      AbortCase{
                          "NoToSerialNumber", {}, true, 256, {kAnswerNo}, {kIdentifying}, kSaved},
                      AbortCase{"QuestionBoxFailed", {}, true, 256, {0}, {kIdentifying}, kSaved},
                      AbortCase{"NoToUpToDate",
                                {},
                                true,
                                256,
                                {kAnswerNo, kAnswerYes},
                                {kIdentifying, kUpToDate},
                                kSaved},
                      AbortCase{"YesToUpToDateNoToSerialNumber",
                                {},
                                true,
                                256,
                                {kAnswerYes, kAnswerNo},
                                {kIdentifying, kUpToDate},
                                kSaved}),
    [](const ::testing::TestParamInfo<AbortCase>& info) { return std::string(info.param.name); });

TEST_F(UpdateRunTest, ReadFailureStopsAfterFiveReads) {
    SimDevice::SetFault("ORV_SIM_READ_FAIL_SECTOR", "12");
    device.WriteImage(Pattern(256, 9));
    Click();
    std::vector<long> sectors;
    for (const auto& call : device.Calls()) {
        if (call.function == "orvReadFlash") {
            sectors.push_back(call.index);
        }
    }
    EXPECT_EQ(sectors, (std::vector<long>{8, 9, 10, 11, 12}));
}

TEST_F(UpdateRunTest, SecondClickOnlyWarnsAtEveryStage) {
    const std::string warning = kAlreadyStarted;
    device.WriteImage(Pattern(256, 10));
    // During programming: the worker asks for a second click from its own thread's log line.
    window.onLog = [this](const std::string& line) {
        if (line == kUpdating) {
            window.ClickUpdate();
        }
    };
    Click();
    window.onLog = nullptr;
    Click();

    EXPECT_EQ(window.Warnings(), (Lines{warning, warning}));
    EXPECT_EQ(window.workerStarts, 1);
    EXPECT_EQ(window.Log(), Concat({kIdentifying}, kFinishedLines));
    EXPECT_EQ(device.Calls().size(), CompleteRunCalls(256).size());
}
