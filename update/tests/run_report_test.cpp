// What deployment tools read of a run: each exit code's event kind and meaning, the status record,
// and the read-only check on the simulated Kavix, which must change nothing.
#include "kavix_check.h"
#include "run_report.h"

#include <set>

#include "exit_code.h"
#include "saved_copies.h"
#include "update_fixture.h"

TEST(RunReport, EveryCodeHasItsEventKindAndAMeaningOfItsOwn) {
    const std::vector<std::pair<int, EventKind>> codes = {
        {0, EventKind::information},
        {2, EventKind::information},
        {kExitCheckUpdateNeeded, EventKind::information},
        {1, EventKind::error},
        {64, EventKind::error},
        {3, EventKind::warning},
        {4, EventKind::warning},
        {6, EventKind::warning},
        {1618, EventKind::warning},
        {kExitCheckBlankDataBlock, EventKind::warning},
        {kExitCheckUpdatePending, EventKind::warning}};
    std::set<std::string> meanings;
    for (const auto& [code, kind] : codes) {
        EXPECT_EQ(EventKindOf(code), kind) << code;
        EXPECT_TRUE(meanings.insert(ExitCodeMeaning(code)).second) << code;
    }
    EXPECT_EQ(ResultLine(1618),
              "Result: 1618 (nothing changed: another update is running; retry later)");
}

TEST(RunReport, StatusRecordAndEventSayWhatTheRunLeft) {
    KavixStatus status;
    status.serialNumber = -5;
    status.versionBefore = 4;
    status.pending = true;
    status.exitCode = 1;
    status.timeUtc = "2026-12-09T04:05:06Z";
    EXPECT_EQ(StatusText(status),
              "[Kavix]\r\nSerialNumber=-5\r\nFirmwareVersion=0\r\nUpdatePending=1\r\n"
              "[LastRun]\r\nExitCode=1\r\nResult=the update failed after the Kavix was changed; "
              "run again\r\nTimeUtc=2026-12-09T04:05:06Z\r\n");
    EXPECT_EQ(
        EventText(&status, 1, "C:\\log"),
        "orvflash ended with exit code 1: the update failed after the Kavix was changed; run "
        "again. Kavix serial number -5, firmware version before 4, now unknown. Log: C:\\log");
    EXPECT_NE(EventText(nullptr, 3, "x")
                  .find(": nothing changed: no Kavix, not a Kavix, or its data "
                        "could not be read. No Kavix was identified. Log: x"),
              std::string::npos);
}

// The check on the Kavix as it is: its exit code and line; the flash (an erase too) and the copies
// as they were.
struct CheckCase {
    const char* name;
    uint16_t version;  // 0xFFFF: the whole data block reads erased
    bool copyOfCut;    // a marked copy that this block could be
    const char* fault;
    int code;
    const char* line;
};

class KavixCheckTest : public UpdateRunTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(KavixCheckTest, ReadsOnly) {
    const CheckCase& c = GetParam();
    Bytes flash = DeviceFlashOrBlank(c.version);
    if (c.copyOfCut) {
        ASSERT_TRUE(saved_copies::SaveMarked(*copies, flash.data() + kDataBlockOffset));
        std::fill_n(flash.begin() + kDataBlockOffset + 0x20000, kSectorSize, 0xFF);
    }
    device.WriteFlash(flash);
    if (c.fault != nullptr) {
        device.SetFault(c.fault, "1");
    }
    const std::vector<std::string> copiesBefore = copies->Names();
    KavixStatus status;
    bool identified = false;
    EXPECT_EQ(CheckKavix(*copies, status, identified), c.code);
    EXPECT_EQ(identified, c.line != nullptr);
    if (identified) {
        EXPECT_EQ(CheckLine(status), c.line);
    }
    EXPECT_EQ(device.Flash(), flash);
    EXPECT_EQ(copies->Names(), copiesBefore);
    EXPECT_EQ(device.WriteCalls(), 0);
}

INSTANTIATE_TEST_SUITE_P(, KavixCheckTest,
                         ::testing::ValuesIn(std::vector<CheckCase>{
                             {"UpdateNeeded", 4, false, nullptr, kExitCheckUpdateNeeded,
                              "serial=20481234 version=4 update=needed pending=no"},
                             {"UpToDate", 5, false, nullptr, 2,
                              "serial=20481234 version=5 update=not-needed pending=no"},
                             {"Blank", 0xFFFF, false, nullptr, kExitCheckBlankDataBlock,
                              "serial=-1 version=65535 update=needed pending=no"},
                             {"Pending", 4, true, nullptr, kExitCheckUpdatePending,
                              "serial=20481234 version=4 update=needed pending=yes"},
                             {"NoKavix", 4, false, "ORV_SIM_OPEN_FAIL", 3, nullptr}}),
                         kCaseName);
