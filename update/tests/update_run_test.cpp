// The update run against the simulated Kavix: what it calls, what it leaves in the flash, what it
// tells the user.
#include "update_fixture.h"

// Complete runs: the pages the image needs, the last padded with 0xFF, and the data block written
// back, its version raised to 5 if older, after a question when it is not; how often the bar moves
// and where it stands before its last move (a full image keeps it at 198). Every call succeeds:
// open, type, eight reads on the clicking thread, the rest on the worker.
struct CompleteRun {
    const char* name;
    int length;
    uint16_t found, restored;  // found 0xFFFF: the whole data block is erased
    int moves, beforeEnd;
    std::vector<int> writesBefore = {};  // page writes seen at each move of the bar, if checked
};

class CompleteRunTest : public UpdateRunTest, public ::testing::WithParamInterface<CompleteRun> {};

TEST_P(CompleteRunTest, WritesTheImageAndTheDataBlock) {
    const CompleteRun& c = GetParam();
    const Bytes flash = DeviceFlashOrBlank(c.found);
    device.WriteFlash(flash);
    const Bytes image = Pattern(std::size_t(c.length), 4);
    device.WriteImage(image);
    Click();

    EXPECT_EQ(device.Flash(), FlashAfterRun(flash, image));
    EXPECT_EQ(window.RunEnds(), std::vector<bool>{true});
    EXPECT_EQ(run->Outcome(), RunOutcome::finished);
    EXPECT_EQ(copies->Names(), std::vector<std::string>{});
    EXPECT_TRUE(window.Warnings().empty());
    EXPECT_TRUE(Started());
    EXPECT_FALSE(run->IsUpdating());
    const auto calls = device.Calls();
    EXPECT_EQ(FirstDifference(CallNames(calls), CompleteRunCalls(image.size())), "");
    for (std::size_t i = 0; i < calls.size(); ++i) {
        ASSERT_EQ(calls[i].thread, calls[i < 10 ? 0 : 10].thread) << i;
        ASSERT_EQ(calls[i].status, 0) << i;
    }
    EXPECT_NE(calls[0].thread, calls[10].thread);
    EXPECT_EQ(VersionOf(device.Flash()), c.restored);
    EXPECT_EQ(run->Status().versionNow, c.restored);
    EXPECT_EQ(run->Status().versionBefore, c.found);
    EXPECT_FALSE(run->Status().pending);
    EXPECT_EQ(device.WriteCalls(0, kDataBlockFirstPage), (c.length + 255) / 256);
    const int32_t serial = c.found == 0xFFFF ? -1 : kTestSerial;
    EXPECT_EQ(SerialNumber(), serial);
    const Lines asked = {SerialQuestion(serial)};
    if (c.found < 5) {
        EXPECT_EQ(window.Questions(), asked);
        EXPECT_EQ(window.Log(), kFinishedRun);
    } else {
        EXPECT_EQ(window.Questions(), Concat({kUpToDateQuestion}, asked));
        EXPECT_EQ(window.Log(), Concat({kIdentifying, kUpToDate}, kFinishedLines));
    }
    EXPECT_EQ(window.rangeLow, 0);
    EXPECT_EQ(window.rangeHigh, 200);
    const auto moves = window.Moves();
    ASSERT_EQ(moves.size(), std::size_t(c.moves));
    EXPECT_EQ(moves[moves.size() - 2].position, c.beforeEnd);
    for (std::size_t i = 0; i < moves.size(); ++i) {
        EXPECT_EQ(moves[i].position, i + 1 == moves.size() ? 200 : int(i) * 11) << i;
        if (!c.writesBefore.empty()) {
            EXPECT_EQ(moves[i].writesBefore, c.writesBefore[i]) << i;
        }
    }
}

// The bar, throttled at 15, moves after image pages 16, 33, 50, 67, 84; then every 162 restored
// pages, after restored indices 161, 323, ..., 1457; then to 200.
const std::vector<int> kWritesAt100Pages = {0,   17,  34,  51,   68,   85,   262,  424,
                                            586, 748, 910, 1072, 1234, 1396, 1558, 1656};

const CompleteRun kCompleteRuns[] = {
    {"Pages100", 100 * 256, 4, 5, 16, 154, kWritesAt100Pages},
    {"Length1", 1, 4, 5, 11, 99},
    {"Length255", 255, 4, 5, 11, 99},
    {"Length256", 256, 4, 5, 11, 99},
    {"Length257", 257, 4, 5, 11, 99},
    {"FullLengthLessOne", kImageSize - 1, 4, 5, 20, 198},
    {"FullLength", kImageSize, 4, 5, 20, 198},
    {"Version0", 1000, 0, 5, 11, 99},
    {"Version3", 1000, 3, 5, 11, 99},
    {"Version4", 1000, 4, 5, 11, 99},
    {"Version5", 1000, 5, 5, 11, 99},
    {"Version7", 1000, 7, 7, 11, 99},
    {"Version0x105", 1000, 0x105, 0x105, 11, 99},
    {"ErasedDataBlock", 512, 0xFFFF, 0xFFFF, 11, 99},
};

INSTANTIATE_TEST_SUITE_P(, CompleteRunTest, ::testing::ValuesIn(kCompleteRuns), kCaseName);

// Every abort before the last Yes leaves the flash as it was, makes no further device call and
// keeps no image. A fault is an ORV_SIM_ variable, a call of the image file ("file") or the
// worker's start ("worker"). The calls made are the first of the preparation's (open, type, eight
// reads).
struct AbortCase {
    const char* name;
    std::pair<std::string, const char*> fault;
    std::vector<int> answers;
    int calls;
    RunOutcome outcome;
    Lines log;
    long imageLength = 256;  // -1: no image file
};

class AbortTest : public UpdateRunTest, public ::testing::WithParamInterface<AbortCase> {};

TEST_P(AbortTest, StopsWithItsMessagesAndLeavesTheFlashAlone) {
    const AbortCase& c = GetParam();
    if (c.fault.first == "file") {
        file->fault = c.fault.second;
    } else if (c.fault.first == "worker") {
        window.failWorkerStart = true;
    } else if (!c.fault.first.empty()) {
        device.SetFault(c.fault.first.c_str(), c.fault.second);
    }
    device.WriteFlash(DeviceFlash(kTestSerial, c.answers.size() > 1 ? 5 : 4));
    const Bytes before = device.Flash();
    if (c.imageLength >= 0) {
        device.WriteImage(Pattern(std::size_t(c.imageLength), 8));
    }
    window.answers.assign(c.answers.begin(), c.answers.end());
    Click();

    const auto prepared = PreparationCalls();
    const std::vector<std::string> calls(prepared.begin(), prepared.begin() + c.calls);
    EXPECT_EQ(window.Log(), c.log);
    EXPECT_EQ(run->Outcome(), c.outcome);
    EXPECT_EQ(CallNames(device.Calls()), calls);
    // A copy that no erase followed goes with its run.
    EXPECT_EQ(copies->Names(), std::vector<std::string>{});
    EXPECT_EQ(window.workerStarts, 0);
    EXPECT_TRUE(window.RunEnds().empty());
    EXPECT_FALSE(run->IsUpdating());
    EXPECT_TRUE(Started());
    EXPECT_FALSE(HoldsImage());
    EXPECT_EQ(device.Flash(), before);

    // Stopped: the run cannot be retried in this program instance.
    Click();
    EXPECT_EQ(window.Warnings(), Lines{kAlreadyStarted});
    EXPECT_EQ(window.Log(), c.log);
    EXPECT_EQ(CallNames(device.Calls()), calls);
}

const Lines kUnreadableImage = {"Error reading update file, unable to continue.", ""};

Lines Identified(const Lines& lines) {
    return Concat({kIdentifying}, lines);
}

const AbortCase kAborts[] = {
    {"MissingImage", {}, {}, 0, RunOutcome::noImage, kMissingImage, -1},
    {"ImageTooLarge", {}, {}, 0, RunOutcome::noImage, kImageTooLarge, kImageSize + 1},
    {"EmptyImage", {}, {}, 0, RunOutcome::noImage, kEmptyImage, 0},
    // The image is read whole before the device is touched.
    {"SeekToEndFails",
     {"file", "SeekToEnd"},
     {},
     0,
     RunOutcome::noImage,
     kUnreadableImage,
     5 * 256},
    {"SeekToBeginFails",
     {"file", "SeekToBegin"},
     {},
     0,
     RunOutcome::noImage,
     kUnreadableImage,
     5 * 256},
    {"ReadFails", {"file", "Read"}, {}, 0, RunOutcome::noImage, kUnreadableImage, 5 * 256},
    {"ShortRead", {"file", "ShortRead"}, {}, 0, RunOutcome::noImage, kUnreadableImage, 5 * 256},
    {"OpenFails", {"ORV_SIM_OPEN_FAIL", "1"}, {}, 1, RunOutcome::noDevice, Identified(kOpenFailed)},
    {"NotAKavix", {"ORV_SIM_TYPE", "2"}, {}, 2, RunOutcome::noDevice, Identified(kNotAKavix)},
    {"TypeCallStoresNothing",
     {"ORV_SIM_TYPE_STORES_NOTHING", "1"},
     {},
     2,
     RunOutcome::noDevice,
     Identified(kNotAKavix)},
    {"ReadFailsAtSector12",
     {"ORV_SIM_READ_FAIL_SECTOR", "12"},
     {},
     7,
     RunOutcome::noDevice,
     Identified(kReadFailed)},
    {"NoToSerialNumber", {}, {kAnswerNo}, 10, RunOutcome::mustDecide, {kIdentifying}},
    {"QuestionBoxFailed", {}, {0}, 10, RunOutcome::mustDecide, {kIdentifying}},
    {"NoToUpToDate",
     {},
     {kAnswerNo, kAnswerYes},
     10,
     RunOutcome::upToDate,
     {kIdentifying, kUpToDate}},
    {"YesToUpToDateNoToSerialNumber",
     {},
     {kAnswerYes, kAnswerNo},
     10,
     RunOutcome::mustDecide,
     {kIdentifying, kUpToDate}},
    {"WorkerStartFails",
     {"worker", ""},
     {},
     10,
     RunOutcome::mustDecide,
     Identified({"Unable to start the update, close program and try again.", ""})},
};

INSTANTIATE_TEST_SUITE_P(Aborts, AbortTest, ::testing::ValuesIn(kAborts), kCaseName);

TEST_F(UpdateRunTest, SecondClickOnlyWarnsAtEveryStage) {
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

    EXPECT_EQ(window.Warnings(), (Lines{kAlreadyStarted, kAlreadyStarted}));
    EXPECT_EQ(window.workerStarts, 1);
    EXPECT_EQ(window.Log(), kFinishedRun);
    EXPECT_EQ(device.Calls().size(), CompleteRunCalls(256).size());
}
