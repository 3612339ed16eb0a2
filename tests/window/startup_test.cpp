// The updater window as it starts: welcome text, log control, progress bar, system menu, About box.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "window_driver.h"

namespace {

std::string MenuText(HMENU menu, int position) {
    char text[128] = {};
    GetMenuStringA(menu, UINT(position), text, sizeof text, MF_BYPOSITION);
    return text;
}

}  // namespace

TEST(UpdaterWindow, StartsWithTheWelcomeTextAnIdleBarAndItsSystemMenu) {
    kavix_test::SimulatedKavix kavix;
    kavix.WriteImage(Pattern(256, 5));
    WindowDriver::Run([](WindowDriver& driver) {
        EXPECT_EQ(driver.LogLines(), kWelcome);
        EXPECT_EQ(driver.ProgressPos(), 0);

        // The log control as it was created: not in the template, system font.
        const CreatedControl* log = nullptr;
        std::string seen;
        for (const auto& control : driver.Created()) {
            seen += control.className + " ";
            if (_stricmp(control.className.c_str(), "Edit") == 0) {
                log = &control;
            }
        }
        ASSERT_NE(log, nullptr) << seen;
        const RECT& at = log->rect;
        EXPECT_EQ(std::make_tuple(log->style, at.left, at.top, at.right, at.bottom, log->id),
                  std::make_tuple(DWORD(0x50A01804), 10L, 10L, 650L, 250L, 1u));
        EXPECT_EQ(log->parent, driver.Window());
        EXPECT_EQ(SendMessageA(driver.LogControl(), WM_GETFONT, 0, 0), 0);

        // What a screen reader is told: the log and the bar by name, each welcome line as it came.
        EXPECT_EQ(driver.Annotation(driver.LogControl(), "name"), "Message log");
        EXPECT_EQ(driver.Annotation(driver.LogControl(), "live"), "1") << "polite";
        EXPECT_EQ(driver.Annotation(GetDlgItem(driver.Window(), IDC_PROGRESS), "name"),
                  "Update progress");
        EXPECT_TRUE(
            WaitUntil([&] { return driver.LogAnnouncements() == kWelcome.size(); }, kWindowWaitMs))
            << driver.LogAnnouncements();

        HICON big = reinterpret_cast<HICON>(SendMessageA(driver.Window(), WM_GETICON, ICON_BIG, 0));
        HICON small =
            reinterpret_cast<HICON>(SendMessageA(driver.Window(), WM_GETICON, ICON_SMALL, 0));
        EXPECT_NE(big, nullptr);
        EXPECT_EQ(big, small);
        EXPECT_TRUE(GetWindowLongA(driver.Window(), GWL_EXSTYLE) & WS_EX_APPWINDOW);

        // The system menu ends with a separator and About, which opens modally for the command
        // and for its low bits.
        HMENU menu = GetSystemMenu(driver.Window(), FALSE);
        ASSERT_NE(menu, nullptr);
        // Wine may add an item of its own after ours.
        int about = -1;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            if (GetMenuItemID(menu, i) == 0x0010) {
                about = i;
            }
        }
        ASSERT_GT(about, 0);
        EXPECT_EQ(MenuText(menu, about), "&About orvflash...");
        EXPECT_TRUE(GetMenuState(menu, UINT(about - 1), MF_BYPOSITION) & MF_SEPARATOR);
        for (WPARAM command : {WPARAM(0x0010), WPARAM(0x0013)}) {
            PostMessageA(driver.Window(), WM_SYSCOMMAND, command, 0);
            const Box about = driver.WaitForBox("About orvflash");
            ASSERT_NE(about.window, nullptr) << command;
            EXPECT_FALSE(IsWindowEnabled(driver.Window())) << "not modal to the updater window";
            EXPECT_NE(FindWindowExA(about.window, nullptr, "Static", "orvflash, Version 1.0"),
                      nullptr);
            driver.Press(about.window, IDOK);
            EXPECT_TRUE(IsWindowEnabled(driver.Window()));
        }
        driver.Click(IDOK);
    });
}
