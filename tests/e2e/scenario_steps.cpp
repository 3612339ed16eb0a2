#include "scenario_steps.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace e2e {

void AnswerYesToUpdate(const Orvflash& app, int32_t serial) {
    app.ClickUpdate();
    const Box question = app.WaitForBox("Question");
    EXPECT_EQ(question.text, SerialQuestion(serial));
    app.Answer(question, IDYES);
}

void ConfirmUpdate(const Orvflash& app, int32_t serial) {
    AnswerYesToUpdate(app, serial);
    app.WaitForLogLine(kUpdating);
}

void ExpectAlreadyStartedWarning(const Orvflash& app) {
    app.ClickUpdate();
    const Box warning = app.WaitForBox("Warning");
    EXPECT_EQ(warning.text, kAlreadyStarted);
    EXPECT_EQ(warning.owner, app.Window());
    EXPECT_EQ(warning.buttons, std::vector<int>{IDOK});
    EXPECT_FALSE(warning.icon);
    app.Answer(warning, IDOK);
}

void ExpectLog(const Orvflash& app, const Lines& expected, DWORD timeoutMs) {
    WaitUntil([&] { return app.Log() == expected; }, timeoutMs);
    EXPECT_EQ(app.Log(), expected);
    EXPECT_TRUE(LastLineInView(app.Control("Edit", IDOK))) << "the log is not scrolled to its end";
}

void ExpectFlash(const Bytes& actual, const Bytes& expected) {
    EXPECT_EQ(FirstDifference(actual, expected), "");
}

void ExpectCalls(const std::vector<DeviceCall>& calls, const std::vector<std::string>& expected) {
    EXPECT_EQ(FirstDifference(CallNames(calls), expected), "");
}

void ExpectClosesWithoutAsking(const Orvflash& app) {
    bool asked = false;
    WaitUntil(
        [&] {
            asked = asked || app.BoxOpen("Question");
            return !app.Running();
        },
        kStepTimeoutMs);
    EXPECT_FALSE(asked) << "a question was asked on closing";
    EXPECT_FALSE(app.Running()) << "the program did not end";
}

Box CloseToWarning(const Orvflash& app, const CloseBy& how, int yes) {
    how.close(app);
    for (int question = 0; question < yes; ++question) {
        app.Answer(app.WaitForBox("Question"), IDYES);
    }
    const Box warning = app.WaitForBox("Question");
    EXPECT_EQ(warning.text, kCloseWarning);
    EXPECT_EQ(warning.owner, nullptr);
    return warning;
}

void ConfirmClose(const Orvflash& app, const Box& warning) {
    const DWORD clicked = GetTickCount();
    Click(GetDlgItem(warning.window, IDYES));
    EXPECT_TRUE(app.WaitForExit(2000)) << "still running 2 s after the last Yes";
    ASSERT_TRUE(app.WaitForExit(kStepTimeoutMs));
    ::testing::Test::RecordProperty("exit_ms", int(GetTickCount() - clicked));
}

void FinishRun(const Orvflash& app, std::initializer_list<std::string> log, const CloseBy& how) {
    app.WaitForLogLine(kSafeToClose, kRunTimeoutMs);
    EXPECT_EQ(app.Log(), LogOf(log, {kFinished}));
    how.close(app);
    ExpectClosesWithoutAsking(app);
}

DWORD OpenError(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    CloseHandle(file);
    return 0;
}

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::filesystem::path> CopiesKept() {
    std::vector<std::filesystem::path> copies;
    for (const std::filesystem::path& file : Orvflash::SavedCopies()) {
        if (file.extension() == ".copy") {
            copies.push_back(file);
        }
    }
    return copies;
}

}  // namespace e2e
