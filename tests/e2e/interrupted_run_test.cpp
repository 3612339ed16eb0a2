// Updates cut short, as by a power loss, a pulled cable or a confirmed close: the next start must
// leave the Kavix as one complete run would have, its own data included.
#include <gtest/gtest.h>

#include "desktop.h"
#include "scenario_steps.h"

namespace e2e {
namespace {

using Variables = std::vector<std::pair<std::string, std::string>>;

// One copy of the Kavix with `serial`, named by its serial number and content.
void ExpectOneCopyOf(int32_t serial) {
    const std::vector<std::string> copies = Orvflash::SavedCopies();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].rfind("Kavix-" + std::to_string(serial) + "-", 0), 0u) << copies[0];
}

// How the first start ends before its update has finished.
enum class Cut { powerLoss, unplugged, confirmedClose };

struct Interruption {
    const char* name;
    Cut cut;
    Variables sim;
    // Cut before the write-back reached the serial number: the next start asks for the label.
    bool serialLost;
};

void PrintTo(const Interruption& interruption, std::ostream* out) {
    *out << interruption.name;
}

void Interrupt(const Orvflash& app, const Interruption& interruption) {
    if (interruption.cut == Cut::powerLoss) {
        AnswerYesToUpdate(app);  // the process may be gone before its log could be read
    } else {
        ConfirmUpdate(app);
    }
    switch (interruption.cut) {
        case Cut::powerLoss:
            ASSERT_TRUE(app.WaitForExit(kRunTimeoutMs));
            EXPECT_EQ(app.ExitCode(), 3u) << "ended by the simulator";
            break;
        case Cut::unplugged:
            ExpectLog(app, LogOf({kIdentifying, kUpdating}, {kWriteError}), kRunTimeoutMs);
            app.ClickDone();
            ExpectClosesWithoutAsking(app);
            break;
        case Cut::confirmedClose: {
            app.WaitForBarBeyond(11);
            Close(app, CloseBy::done);
            const MessageBoxWindow warning = app.WaitForBox("Question");
            EXPECT_EQ(warning.text, kCloseWarning);
            Click(GetDlgItem(warning.window, IDYES));
            ASSERT_TRUE(app.WaitForExit(kStepTimeoutMs));
            break;
        }
    }
    ExpectOneCopyOf(20481234);
}

// Updates, as a user does after a start, and closes; first says Yes to the label question where a
// cut left the device without its serial number.
void UpdateToTheEnd(const Orvflash& app, int32_t serial, std::initializer_list<std::string> log,
                    bool serialLost = false) {
    if (serialLost) {
        app.ClickUpdate();
        const MessageBoxWindow question = app.WaitForBox("Question");
        EXPECT_EQ(question.text, LabelQuestion(serial, -1));
        app.Answer(question, IDYES);
        const MessageBoxWindow next = app.WaitForBox("Question");
        EXPECT_EQ(next.text, SerialQuestion(serial));
        app.Answer(next, IDYES);
        app.WaitForLogLine(kUpdating);
    } else {
        ConfirmUpdate(app, serial);
    }
    app.WaitForLogLine(kSafeToClose, kRunTimeoutMs);
    EXPECT_EQ(app.LogLines(), LogOf(log, {kFinished}));
    app.ClickDone();
    ExpectClosesWithoutAsking(app);
}

class InterruptedRun : public ::testing::TestWithParam<Interruption> {};

TEST_P(InterruptedRun, NextStartFinishesWithTheDevicesOwnData) {
    Scenario scenario;
    scenario.sim = GetParam().sim;
    Orvflash app(scenario);
    Interrupt(app, GetParam());
    ASSERT_NE(FirstDifference(app.Flash(), app.InitialFlash()), "") << "the update had begun";

    app.StartAgain({});
    UpdateToTheEnd(app, 20481234, {kIdentifying, kRecovered, kUpdating}, GetParam().serialLost);
    ExpectFlash(app.Flash(), FlashAfterRun(app.InitialFlash(), app.Image()));
    EXPECT_TRUE(Orvflash::SavedCopies().empty()) << "the copy is removed after success";
}

INSTANTIATE_TEST_SUITE_P(
    , InterruptedRun,
    ::testing::Values(
        // Page 0 is the first write after the erase.
        Interruption{
            "PowerLossAfterTheErase", Cut::powerLoss, {{"ORV_SIM_EXIT_AT_PAGE", "0"}}, true},
        Interruption{
            "PowerLossInTheImage", Cut::powerLoss, {{"ORV_SIM_EXIT_AT_PAGE", "1000"}}, true},
        Interruption{
            "PowerLossInTheWriteBack", Cut::powerLoss, {{"ORV_SIM_EXIT_AT_PAGE", "2900"}}, false},
        // Open, type, 8 reads, the first read again, erase and 700 image pages reach the device.
        Interruption{
            "UnpluggedInTheImage", Cut::unplugged, {{"ORV_SIM_UNPLUG_AFTER", "712"}}, true},
        // Closed as the bar first moves, early in the image.
        Interruption{"ClosedDuringProgramming",
                     Cut::confirmedClose,
                     {{"ORV_SIM_WRITE_DELAY_MS", "5"}},
                     true}),
    [](const ::testing::TestParamInfo<Interruption>& info) {
        return std::string(info.param.name);
    });

// The copy of an interrupted Kavix is never given to another one, and still finishes its own.
TEST(InterruptedRunOtherKavix, KeepsItsOwnDataAndTheCopyWaitsForItsDevice) {
    Scenario scenario;
    scenario.sim = {{"ORV_SIM_EXIT_AT_PAGE", "1000"}};
    Orvflash app(scenario);
    Interrupt(app, Interruption{"", Cut::powerLoss, scenario.sim, true});
    const Bytes interrupted = app.Flash();

    const Bytes other = DeviceFlash(7654321, 4);
    app.StartAgain({}, other);
    UpdateToTheEnd(app, 7654321, {kIdentifying, kUpdating});
    ExpectFlash(app.Flash(), FlashAfterRun(other, app.Image()));
    ExpectOneCopyOf(20481234);

    app.StartAgain({}, interrupted);
    UpdateToTheEnd(app, 20481234, {kIdentifying, kRecovered, kUpdating}, true);
    ExpectFlash(app.Flash(), FlashAfterRun(app.InitialFlash(), app.Image()));
    EXPECT_TRUE(Orvflash::SavedCopies().empty());
}

}  // namespace
}  // namespace e2e
