// Updates cut short, as by a power loss, a pulled cable or a confirmed close: the next start must
// leave the Kavix as one complete run would have, its own data included.
#include <gtest/gtest.h>

#include "scenario_steps.h"
#include "simulator_identity.h"

namespace e2e {
namespace {

// One copy of the Kavix with `serial`, named by its serial number and content.
void ExpectOneCopyOf(int32_t serial) {
    const std::vector<std::filesystem::path> copies = CopiesKept();
    ASSERT_EQ(copies.size(), 1u);
    const std::string name = copies[0].filename().string();
    EXPECT_EQ(name.rfind("Kavix-" + std::to_string(serial) + "-", 0), 0u) << name;
}

// How the first start ends before its update has finished; or, for a second start of the program
// while the first programs, goes on to the end.
enum class Cut { powerLoss, unplugged, confirmedClose, secondStart };

struct Interruption {
    const char* name;
    Cut cut;
    Variables faults;
    // Questions the next start asks besides the serial one: a block whose serial reads erased or
    // damaged could be another Kavix's, and the user is asked.
    int extraQuestions = 0;
    friend void PrintTo(const Interruption& row, std::ostream* out) { *out << row.name; }
};

void Interrupt(const Orvflash& app, Cut cut) {
    if (cut == Cut::powerLoss) {
        AnswerYesToUpdate(app);  // the process may be gone before its log could be read
        ASSERT_TRUE(app.WaitForExit(kRunTimeoutMs));
        EXPECT_EQ(app.ExitCode(), DWORD(ORV_SIMULATOR_POWER_LOSS_EXIT_CODE))
            << "ended by the simulator";
    } else if (cut == Cut::unplugged) {
        ConfirmUpdate(app);
        ExpectLog(app, LogOf({kIdentifying, kUpdating}, {kWriteError}), kRunTimeoutMs);
        app.ClickDone();
        ExpectClosesWithoutAsking(app);
    } else {
        ConfirmUpdate(app);
        app.WaitForBarBeyond(11);
        if (cut == Cut::secondStart) {
            ShowWindow(app.Window(), SW_MINIMIZE);  // for the second start to restore
            ASSERT_TRUE(IsIconic(app.Window()));
            EXPECT_EQ(app.StartSecond(kStepTimeoutMs), 1618u) << "the second start ends by itself";
            EXPECT_TRUE(WaitUntil([&] { return !IsIconic(app.Window()); }, kStepTimeoutMs))
                << "the running window is restored";
            EXPECT_EQ(GetForegroundWindow(), app.Window()) << "the running window is in front";
            FinishRun(app, {kIdentifying, kUpdating});  // the first goes on undisturbed
            return;
        }
        ConfirmClose(app, CloseToWarning(app, kDone));
    }
    ExpectOneCopyOf(kTestSerial);
}

// Updates, as a user does after a start, answering Yes to the serial question and to
// `extraQuestions` others, in whatever order they come, and closes.
void UpdateToTheEnd(const Orvflash& app, int32_t serial, std::initializer_list<std::string> log,
                    int extraQuestions = 0) {
    app.ClickUpdate();
    int serialAsked = 0, othersAsked = 0;
    // Bounded, so that a program that never stops asking cannot hold the run up.
    for (int asked = 0; asked < extraQuestions + 3; ++asked) {
        WaitUntil([&] { return Has(app.Log(), kUpdating) || app.BoxOpen("Question"); },
                  kStepTimeoutMs);
        if (!app.BoxOpen("Question")) {
            break;
        }
        const Box question = app.WaitForBox("Question");
        if (question.text == SerialQuestion(serial)) {
            ++serialAsked;
            EXPECT_EQ(question.defaultButton, IDYES);
        } else {
            // Enter never writes a saved copy into a device.
            EXPECT_EQ(question.defaultButton, IDNO);
            ++othersAsked;
            // The label question, naming the copy's serial number first.
            const std::string opening = LabelQuestion(serial, 0).substr(0, 60);
            EXPECT_EQ(question.text.compare(0, opening.size(), opening), 0) << question.text;
        }
        app.Answer(question, IDYES);
    }
    EXPECT_EQ(serialAsked, 1) << "the serial question";
    EXPECT_EQ(othersAsked, extraQuestions) << "questions besides the serial one";
    FinishRun(app, log);
}

class InterruptedRun : public ::testing::TestWithParam<Interruption> {};

TEST_P(InterruptedRun, NextStartFinishesWithTheDevicesOwnData) {
    Orvflash app(Scenario{GetParam().faults});
    Interrupt(app, GetParam().cut);
    if (GetParam().cut != Cut::secondStart) {
        ASSERT_NE(FirstDifference(app.Flash(), app.InitialFlash()), "") << "the update had begun";
        app.StartAgain();
        UpdateToTheEnd(app, kTestSerial, {kIdentifying, kRecovered, kUpdating},
                       GetParam().extraQuestions);
    }
    ExpectFlash(app.Flash(), FlashAfterRun(app.InitialFlash(), app.Image()));
    EXPECT_TRUE(Orvflash::SavedCopies().empty()) << "the copy is removed after success";
}

INSTANTIATE_TEST_SUITE_P(
    , InterruptedRun,
    ::testing::ValuesIn(std::vector<Interruption>{
        // Page 0 is the first write after the erase.
        // Until the write-back reaches the serial number, the next start asks for the label.
        {"PowerLossAfterTheErase", Cut::powerLoss, {{"ORV_SIM_EXIT_AT_PAGE", "0"}}, 1},
        {"PowerLossInTheImage", Cut::powerLoss, {{"ORV_SIM_EXIT_AT_PAGE", "1000"}}, 1},
        {"PowerLossInTheWriteBack", Cut::powerLoss, {{"ORV_SIM_EXIT_AT_PAGE", "2900"}}},
        // A page of the write-back half programmed: the serial, on the first page, reads right.
        {"TornPageInTheWriteBack", Cut::powerLoss, {{"ORV_SIM_TEAR_AT_PAGE", "3000"}}},
        // Sectors 0-9 erased, the serial with them, sector 10 partly, 11-15 not yet.
        {"EraseCutInTheDataBlock", Cut::powerLoss, {{"ORV_SIM_CUT_ERASE_AT_SECTOR", "10"}}, 1},
        // Every sector partly erased, the serial too.
        {"EraseCutAllAtOnce", Cut::powerLoss, {{"ORV_SIM_CUT_ERASE_ALL", "1"}}, 1},
        // Open, type, 8 reads, 16 again, erase and 700 image pages reach the device.
        {"UnpluggedInTheImage", Cut::unplugged, {{"ORV_SIM_UNPLUG_AFTER", "727"}}, 1},
        // Closed as the bar first moves, early in the image.
        {"ClosedDuringProgramming", Cut::confirmedClose, {{"ORV_SIM_WRITE_DELAY_MS", "5"}}, 1},
        {"SecondStartWhileProgramming", Cut::secondStart, {{"ORV_SIM_WRITE_DELAY_MS", "5"}}}}),
    ::testing::PrintToStringParamName());

// The copy of an interrupted Kavix is never given to another one, and still finishes its own.
TEST(InterruptedRunOtherKavix, KeepsItsOwnDataAndTheCopyWaitsForItsDevice) {
    Orvflash app(Scenario{{{"ORV_SIM_EXIT_AT_PAGE", "1000"}}});
    Interrupt(app, Cut::powerLoss);
    const Bytes interrupted = app.Flash();

    const Bytes other = DeviceFlash(7654321, 4);
    app.StartAgain(other);
    // The copy, which this Kavix shows to be another's, is named in the log and kept.
    UpdateToTheEnd(app, 7654321,
                   {kIdentifying,
                    "The saved copy " + CopiesKept().at(0).filename().string() + " in " +
                        Orvflash::CopyFolder().string() + " is of another Kavix and is kept.",
                    kUpdating});
    ExpectFlash(app.Flash(), FlashAfterRun(other, app.Image()));
    ExpectOneCopyOf(kTestSerial);

    app.StartAgain(interrupted);
    UpdateToTheEnd(app, kTestSerial, {kIdentifying, kRecovered, kUpdating}, 1);
    ExpectFlash(app.Flash(), FlashAfterRun(app.InitialFlash(), app.Image()));
    EXPECT_TRUE(Orvflash::SavedCopies().empty());
}

// A copy that an earlier version kept in the account's own folder is moved into the computer's
// folder by the next start, which finishes the update with it.
TEST(InterruptedRunEarlierVersion, CopyInTheAccountsFolderFinishesTheUpdate) {
    Orvflash app(Scenario{{{"ORV_SIM_EXIT_AT_PAGE", "2900"}}});
    Interrupt(app, Cut::powerLoss);
    const std::filesystem::path copy = CopiesKept().at(0);
    std::filesystem::create_directories(Orvflash::LegacyCopyFolder());
    std::filesystem::rename(copy, Orvflash::LegacyCopyFolder() / copy.filename());
    // The computer's folder as someone else made it, without the program's rules.
    std::filesystem::remove_all(Orvflash::CopyFolder());
    std::filesystem::create_directory(Orvflash::CopyFolder());

    app.StartAgain();
    // It kept no record of how far its update got: it is asked about.
    UpdateToTheEnd(app, kTestSerial, {kIdentifying, kRecovered, kUpdating}, 1);
    ExpectFlash(app.Flash(), FlashAfterRun(app.InitialFlash(), app.Image()));
    EXPECT_TRUE(CopiesKept().empty());
    // Every run under Wine is elevated: it reads an earlier version's copies and deletes none.
    EXPECT_FALSE(std::filesystem::is_empty(Orvflash::LegacyCopyFolder()));
}

// The Kavix erases a sector of its own data; the next start updates it with what it holds now, and
// no copy is left.
void ExpectNextStartKeepsTodaysData(Orvflash& app) {
    Bytes changed = app.InitialFlash();
    std::fill_n(changed.begin() + layout::kDataBlock + 2 * layout::kSector, layout::kSector, 0xFF);
    app.StartAgain(changed);
    UpdateToTheEnd(app, kTestSerial, {kIdentifying, kUpdating});
    ExpectFlash(app.Flash(), FlashAfterRun(changed, app.Image()));
    EXPECT_TRUE(Orvflash::SavedCopies().empty());
}

// A run killed after saving its copy and before its erase leaves a copy that is never written back:
// the Kavix, which has since erased a sector of its own data, keeps what it holds now.
TEST(InterruptedRunBeforeTheErase, ItsCopyIsNeverWrittenBack) {
    // The eight reads that know the device again before the erase take long enough to kill it in.
    Orvflash app(Scenario{{{"ORV_SIM_READ_DELAY_MS", "400"}}});
    ConfirmUpdate(app);
    const std::vector<std::filesystem::path> saved = Orvflash::SavedCopies();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].extension(), ".saved") << "not marked before the erase";
    ExpectFlash(app.Flash(), app.InitialFlash());

    ExpectNextStartKeepsTodaysData(app);
}

// An erase that fails and changes nothing removes the copy; the Kavix then erases a sector of its
// own data, and the next start keeps what it holds now: no roll-back.
TEST(InterruptedRunFailedErase, NextStartKeepsTodaysData) {
    Orvflash app(Scenario{{{"ORV_SIM_ERASE_FAIL", "1"}}});
    ConfirmUpdate(app);
    ExpectLog(app, LogOf({kIdentifying, kUpdating}, {kEraseNothingChanged}), kRunTimeoutMs);
    app.ClickDone();
    ExpectClosesWithoutAsking(app);
    EXPECT_TRUE(Orvflash::SavedCopies().empty()) << "nothing was erased: the copy goes";

    ExpectNextStartKeepsTodaysData(app);
}

}  // namespace
}  // namespace e2e
