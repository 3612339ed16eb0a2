// Failures during programming, and the window going away: the run never claims success when
// something failed, restores the device data as far as the device allows, and never touches a
// closed window.
#include "update_fixture.h"

using namespace flash_map;

namespace {

int CountWrites(const std::vector<DeviceCall>& calls, long firstPage, long endPage) {
    int count = 0;
    for (const auto& call : calls) {
        count +=
            call.function == "orvWriteFlash" && call.index >= firstPage && call.index < endPage;
    }
    return count;
}

}  // namespace

TEST_F(UpdateRunTest, FailedPageWriteStillRestoresAndReportsFailure) {
    SimDevice::SetFault("ORV_SIM_WRITE_FAIL_PAGE", "2100");
    const Bytes before = device.ReadFlash();
    const Bytes image = Pattern(10 * 256, 11);
    device.WriteImage(image);
    Click();

    EXPECT_EQ(window.Log(), Concat({kIdentifying, kUpdating}, kWriteError));
    EXPECT_EQ(window.RunEnds(), std::vector<bool>{false});
    // Every call is still made, in order.
    EXPECT_EQ(CountWrites(device.Calls(), 0, 10), 10);
    EXPECT_EQ(CountWrites(device.Calls(), 2048, 3604), 1556);
    // Everything but the failed page holds what a full run leaves.
    Bytes expected = FlashAfterRun(before, image);
    std::fill(expected.begin() + 2100 * 256, expected.begin() + 2101 * 256, 0xFF);
    EXPECT_EQ(device.ReadFlash(), expected);
    // The bar is left where it stood, short of the end.
    EXPECT_LT(window.Moves().back().position, 200);
    EXPECT_FALSE(run->IsUpdating());
}

TEST_F(UpdateRunTest, FailedEraseIsReportedAndEveryWriteIsStillMade) {
    SimDevice::SetFault("ORV_SIM_ERASE_FAIL", "1");
    device.WriteImage(Pattern(3 * 256, 12));
    Click();

    EXPECT_EQ(window.Log(), Concat({kIdentifying, kUpdating}, kWriteError));
    EXPECT_EQ(window.RunEnds(), std::vector<bool>{false});
    EXPECT_EQ(CountWrites(device.Calls(), 0, 3), 3);
    EXPECT_EQ(CountWrites(device.Calls(), 2048, 3604), 1556);
}

TEST_F(UpdateRunTest, UnpluggedDuringProgrammingNeverClaimsSuccess) {
    // Open, type, 8 reads, erase and 200 writes succeed; the device is gone after that.
    SimDevice::SetFault("ORV_SIM_UNPLUG_AFTER", "211");
    device.WriteImage(Pattern(100 * 256, 13));
    Click();

    EXPECT_EQ(window.Log(), Concat({kIdentifying, kUpdating}, kWriteError));
    EXPECT_EQ(window.RunEnds(), std::vector<bool>{false});
    EXPECT_FALSE(run->IsUpdating());
}

TEST_F(UpdateRunTest, FailedWorkerStartIsReportedAndNothingIsErased) {
    window.failWorkerStart = true;
    const Bytes before = device.ReadFlash();
    device.WriteImage(Pattern(256, 14));
    Click();

    EXPECT_EQ(
        window.Log(),
        (Lines{kIdentifying, "Unable to start the update, close program and try again.", ""}));
    EXPECT_FALSE(run->IsUpdating());
    EXPECT_EQ(device.ReadFlash(), before);
    Click();
    EXPECT_EQ(window.Warnings().size(), 1u);
}

// The image is read whole before the device is touched; any failure to read it stops there.
struct ImageFault {
    const char* name;
    void (*inject)(StdFirmwareFile&);
};

class UnreadableImageTest : public UpdateRunTest,
                            public ::testing::WithParamInterface<ImageFault> {};

TEST_P(UnreadableImageTest, StopsBeforeTheDeviceIsTouched) {
    device.WriteImage(Pattern(5 * 256, 19));
    GetParam().inject(*file);
    Click();

    EXPECT_EQ(window.Log(), (Lines{"Error reading update file, unable to continue.", ""}));
    EXPECT_TRUE(device.Calls().empty());
    EXPECT_FALSE(HoldsImage());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, UnreadableImageTest,
    ::testing::Values(ImageFault{"SeekToEnd", [](StdFirmwareFile& f) { f.failSeekToEnd = 1; }},
                      ImageFault{"SeekToBegin", [](StdFirmwareFile& f) { f.failSeekToBegin = 1; }},
                      ImageFault{"Read", [](StdFirmwareFile& f) { f.failRead = 1; }},
                      // Fewer bytes than its length.
                      ImageFault{"ShortRead", [](StdFirmwareFile& f) { f.readLimit = 600; }}),
    [](const ::testing::TestParamInfo<ImageFault>& info) { return std::string(info.param.name); });

TEST_F(UpdateRunTest, WindowClosedDuringQuestionStartsNoWorker) {
    const Bytes before = device.ReadFlash();
    device.WriteImage(Pattern(256, 20));
    window.onQuestion = [this](const std::string&) { run->Abandon(); };
    Click();

    EXPECT_EQ(window.workerStarts, 0);
    EXPECT_FALSE(run->IsUpdating());
    EXPECT_EQ(device.ReadFlash(), before);
}

TEST_F(UpdateRunTest, WindowClosedDuringUpToDateQuestionStartsNoWorker) {
    device.WriteFlash(DeviceFlash(20481234, 5));
    device.WriteImage(Pattern(256, 21));
    window.onQuestion = [this](const std::string&) { run->Abandon(); };
    Click();

    EXPECT_EQ(window.Questions().size(), 1u);
    EXPECT_EQ(window.workerStarts, 0);
}

TEST_F(UpdateRunTest, AbandonedWorkerStopsBeforeItsNextDeviceCall) {
    device.WriteImage(Pattern(100 * 256, 22));
    // The window closes at the bar's first move, after image page 16.
    int movesSeen = 0;
    window.writesSoFar = [this, &movesSeen] {
        if (++movesSeen == 2) {
            run->Abandon();
        }
        return device.WriteCalls();
    };
    Click();

    EXPECT_EQ(CountWrites(device.Calls(), 0, 4096), 17);
    EXPECT_EQ(window.Log(), (Lines{kIdentifying, kUpdating}));
    EXPECT_TRUE(window.RunEnds().empty());
    EXPECT_FALSE(run->IsUpdating());
}
