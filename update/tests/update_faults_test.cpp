// Failures during programming, and the window going away: the run never claims success when
// something failed, restores the device data as far as the device allows, and never touches a
// closed window.
#include "saved_copies.h"
#include "update_fixture.h"

// Every write is still made, in order, and the bar is left where it stood, short of the end; but
// no page is written over an erase that failed. The copy stays for the next start.
struct ProgrammingFault {
    const char* variable;
    const char* value;
    int imagePages;
    int failedPage;  // -1: the flash is not checked
    Lines error = kWriteError;
    int writes = -1;  // -1: every page
    RunOutcome outcome = RunOutcome::failed;
    bool recordLost = false;  // the copy's record cannot be written once the first page is
};

void PrintTo(const ProgrammingFault& fault, std::ostream* os) {
    *os << fault.variable << '=' << fault.value;
}

class ProgrammingFaultTest : public UpdateRunTest,
                             public ::testing::WithParamInterface<ProgrammingFault> {};

TEST_P(ProgrammingFaultTest, StillRestoresAndReportsFailure) {
    const ProgrammingFault& fault = GetParam();
    device.SetFault(fault.variable, fault.value);
    const Bytes before = device.Flash();
    const Bytes image = Pattern(std::size_t(fault.imagePages) * 256, 11);
    device.WriteImage(image);
    if (fault.recordLost) {
        window.writesSoFar = [this] {
            const int writes = device.WriteCalls();
            copies->failWrite = writes > 0;
            return writes;
        };
    }
    Click();

    EXPECT_EQ(window.Log(), Concat({kIdentifying, kUpdating}, fault.error));
    EXPECT_EQ(window.RunEnds(), std::vector<bool>{false});
    EXPECT_EQ(run->Outcome(), fault.outcome);
    EXPECT_FALSE(run->IsUpdating());
    if (fault.writes >= 0) {
        EXPECT_EQ(device.WriteCalls(), fault.writes);
    } else {
        EXPECT_EQ(device.WriteCalls(0, fault.imagePages), fault.imagePages);
        EXPECT_EQ(device.WriteCalls(kDataBlockFirstPage, kDataBlockFirstPage + kRestoredPages),
                  kRestoredPages);
    }
    EXPECT_LT(window.Moves().back().position, 200);
    // What the status record says: the update waits for its copy, the version is not known.
    const bool changed = run->Outcome() != RunOutcome::notErased;
    EXPECT_EQ(run->Status().pending, changed);
    EXPECT_EQ(run->Status().versionNow, changed ? 0 : 4);
    const Bytes block = Slice(before, layout::kDataBlock, kDataBlockSize);
    const std::string copy = CopyName(block.data());
    // An erase that changed nothing leaves the Kavix its own data: its copy goes. A record that
    // cannot say the write failed goes too (the failed write leaves its temporary file), and the
    // next start asks about the copy.
    const std::vector<std::string> kept = {copy,
                                           copy + (fault.recordLost ? ".record.tmp" : ".record")};
    EXPECT_EQ(copies->Names(),
              fault.outcome == RunOutcome::notErased ? std::vector<std::string>() : kept);
    if (fault.failedPage >= 0) {
        // Everything but the failed page holds what a full run leaves.
        Bytes expected = FlashAfterRun(before, image);
        std::fill_n(expected.begin() + fault.failedPage * 256, 256, 0xFF);
        EXPECT_EQ(device.Flash(), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    , ProgrammingFaultTest,
    ::testing::Values(ProgrammingFault{"ORV_SIM_WRITE_FAIL_PAGE", "2100", 10, 2100},
                      ProgrammingFault{"ORV_SIM_WRITE_FAIL_PAGE", "2101", 10, 2101, kWriteError, -1,
                                       RunOutcome::failed, true},
                      ProgrammingFault{"ORV_SIM_ERASE_FAIL", "1", 3, -1, kEraseNothingChanged, 0,
                                       RunOutcome::notErased},
                      // An erase that says it erased everything: the old firmware beyond a short
                      // image, or the tail of the data block, that no page write covers.
                      ProgrammingFault{"ORV_SIM_ERASE_SKIPS_SECTOR", "3", 10, -1},
                      ProgrammingFault{"ORV_SIM_ERASE_SKIPS_SECTOR", "15", 10, -1},
                      // The read-back's fourth read: open, type, 8 reads, 16 again, the erase,
                      // 10 image pages and 1,556 written back come first.
                      ProgrammingFault{"ORV_SIM_UNPLUG_AFTER", "1596", 10, -1, kReadBackError},
                      // Open, type, 8 reads, erase and 200 writes succeed; then it is gone.
                      ProgrammingFault{"ORV_SIM_UNPLUG_AFTER", "211", 100, -1}),
    [](const auto& info) { return std::string(info.param.variable + 8) + "_" + info.param.value; });

// The window closes at the first question: whether to go on with up-to-date firmware (version 5),
// or the serial number's; or between the reads of the data block, when it answers then.
struct WindowClosed {
    const char* name;
    uint16_t version;
    bool whileAnswering;
    std::size_t questions;
};

class WindowClosedTest : public UpdateRunTest,
                         public ::testing::WithParamInterface<WindowClosed> {};

TEST_P(WindowClosedTest, StartsNoWorker) {
    const WindowClosed& c = GetParam();
    device.WriteFlash(DeviceFlash(kTestSerial, c.version));
    const Bytes before = device.Flash();
    device.WriteImage(Pattern(256, 20));
    if (c.whileAnswering) {
        window.onAnswering = [this] { run->Abandon(); };
    } else {
        window.onQuestion = [this](const std::string&) { run->Abandon(); };
    }
    Click();

    EXPECT_EQ(window.Questions().size(), c.questions);
    EXPECT_EQ(window.workerStarts, 0);
    EXPECT_FALSE(run->IsUpdating());
    EXPECT_EQ(device.Flash(), before);
    EXPECT_EQ(copies->Names(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(, WindowClosedTest,
                         ::testing::Values(WindowClosed{"AtTheSerialQuestion", 4, false, 1},
                                           WindowClosed{"AtTheUpToDateQuestion", 5, false, 1},
                                           WindowClosed{"WhileTheDataBlockIsRead", 4, true, 0}),
                         kCaseName);

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

    EXPECT_EQ(device.WriteCalls(), 17);
    EXPECT_EQ(window.Log(), (Lines{kIdentifying, kUpdating}));
    EXPECT_TRUE(window.RunEnds().empty());
    EXPECT_FALSE(run->IsUpdating());
}
