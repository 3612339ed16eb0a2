// A whole update run through the real window, answered as a person would.
#include <gtest/gtest.h>

#include "kavix_flash.h"
#include "window_driver.h"

TEST(UpdaterWindow, UpdateRunsToTheEndAndASecondClickOnlyWarns) {
    kavix_test::SimulatedKavix kavix;
    const Bytes image = Pattern(100 * 256, 5);
    kavix.WriteImage(image);
    const Lines runLog = LogOf({kIdentifying, kUpdating}, {kFinished});
    WindowDriver::Run([&](WindowDriver& driver) {
        // The shell's taskbar object then follows the run, where the system has one.
        SendMessageA(driver.Window(), RegisterWindowMessageA("TaskbarButtonCreated"), 0, 0);
        driver.Click(IDC_UPDATE);

        const Box question = driver.WaitForBox("Question");
        ASSERT_NE(question.window, nullptr);
        EXPECT_EQ(question.text, SerialQuestion(kTestSerial));
        // The question has no owner: the window stays usable.
        EXPECT_TRUE(IsWindowEnabled(driver.Window()));
        driver.Press(question.window, IDYES);

        ASSERT_TRUE(WaitUntil([&] { return driver.LogEndsWith(kFinished); }, kWindowWaitMs));
        EXPECT_EQ(driver.LogLines(), runLog);
        EXPECT_EQ(driver.ProgressPos(), 200);
        // Each line, the worker's too, told to screen readers.
        EXPECT_TRUE(
            WaitUntil([&] { return driver.LogAnnouncements() == runLog.size(); }, kWindowWaitMs))
            << driver.LogAnnouncements();

        driver.Click(IDC_UPDATE);
        const Box warning = driver.WaitForBox("Warning");
        ASSERT_NE(warning.window, nullptr);
        EXPECT_EQ(warning.text, kAlreadyStarted);
        EXPECT_FALSE(IsWindowEnabled(driver.Window())) << "the warning belongs to the window";
        driver.Press(warning.window, IDOK);
        EXPECT_EQ(driver.LogLines(), runLog);

        driver.Click(IDOK);
    });

    // The device holds the image and its own data, version raised to 5.
    EXPECT_EQ(FirstDifference(kavix.Flash(), FlashAfterRun(DeviceFlash(), image)), "");
}
