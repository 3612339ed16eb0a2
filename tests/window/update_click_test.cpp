// A whole update run through the real window, answered as a person would.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "window_driver.h"

namespace {

const char kRunLog[] =
    "Identifying device, please wait..\r\n"
    "Updating... Do not unplug the Kavix\r\n"
    "\r\n"
    "Finished updating.\r\n"
    "You may safely close the application.\r\n";

}  // namespace

TEST(UpdaterWindow, UpdateRunsToTheEndAndASecondClickOnlyWarns) {
    WorkFolder folder(100 * 256);
    WindowDriver::Run([](WindowDriver& driver) {
        const std::string welcome = driver.LogText();
        // The shell's taskbar object then follows the run, where the system has one.
        SendMessageA(driver.Window(), RegisterWindowMessageA("TaskbarButtonCreated"), 0, 0);
        driver.Click(1000);

        HWND question = driver.WaitForBox("Question");
        ASSERT_NE(question, nullptr);
        EXPECT_EQ(driver.BoxText(question),
                  "Attempting to update Kavix with serial number 20481234, if this is correct and "
                  "you wish to continue, click yes");
        // The question has no owner: the window stays usable.
        EXPECT_TRUE(IsWindowEnabled(driver.Window()));
        driver.Press(question, IDYES);

        ASSERT_TRUE(WindowDriver::WaitUntil(
            [&] { return driver.LogEndsWith("You may safely close the application.\r\n"); }));
        EXPECT_EQ(driver.LogText(), welcome + kRunLog);
        EXPECT_EQ(driver.ProgressPos(), 200);

        driver.Click(1000);
        HWND warning = driver.WaitForBox("Warning");
        ASSERT_NE(warning, nullptr);
        EXPECT_EQ(driver.BoxText(warning),
                  "You have already started an update. Either wait for the program to finish, or "
                  "relaunch the application");
        EXPECT_FALSE(IsWindowEnabled(driver.Window())) << "the warning belongs to the window";
        driver.Press(warning, IDOK);
        EXPECT_EQ(driver.LogText(), welcome + kRunLog);

        driver.Click(IDOK);
    });

    // The device holds the image and its own data, version raised to 5.
    std::ifstream in("flash.bin", std::ios::binary);
    std::vector<unsigned char> flash((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    ASSERT_EQ(flash.size(), 0x200000u);
    for (std::size_t i = 0; i < 100 * 256; ++i) {
        ASSERT_EQ(flash[i], static_cast<unsigned char>(i * 7 + 3)) << i;
    }
    EXPECT_EQ(flash[100 * 256], 0xFF);
    EXPECT_EQ(flash[0x80000 + 10], 5);
    EXPECT_EQ(flash[0x80000 + 11], 0);
    EXPECT_EQ(flash[0xE1400], 0xFF);
}
