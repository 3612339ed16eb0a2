#include "scenario_steps.h"

#include <gtest/gtest.h>

#include "desktop.h"

namespace e2e {

Scenario SlowProgramming(const char* writeDelayMs) {
    Scenario scenario;
    scenario.sim = {{"ORV_SIM_WRITE_DELAY_MS", writeDelayMs}};
    return scenario;
}

void AnswerYesToUpdate(const Orvflash& app, int32_t serial) {
    app.ClickUpdate();
    const MessageBoxWindow question = app.WaitForBox("Question");
    EXPECT_EQ(question.text, SerialQuestion(serial));
    app.Answer(question, IDYES);
}

void ConfirmUpdate(const Orvflash& app, int32_t serial) {
    AnswerYesToUpdate(app, serial);
    app.WaitForLogLine(kUpdating);
}

void ExpectLog(const Orvflash& app, const Lines& expected, DWORD timeoutMs) {
    WaitUntil([&] { return app.LogLines() == expected; }, timeoutMs);
    EXPECT_EQ(app.LogLines(), expected);
    EXPECT_TRUE(app.LogEndInView()) << "the log is not scrolled to its end";
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

std::vector<DeviceCall> CallsWithStatus(const std::vector<std::string>& names,
                                        bool (*failed)(std::size_t, const std::string&)) {
    std::vector<DeviceCall> calls;
    for (std::size_t i = 0; i < names.size(); ++i) {
        DeviceCall call;
        const std::size_t space = names[i].find(' ');
        call.function = names[i].substr(0, space);
        call.index = space == std::string::npos ? -1 : std::stol(names[i].substr(space + 1));
        call.status = failed(i, names[i]) ? 1 : 0;
        calls.push_back(call);
    }
    return calls;
}

void Close(const Orvflash& app, CloseBy how) {
    switch (how) {
        case CloseBy::done:
            app.ClickDone();
            break;
        case CloseBy::escape:
            app.PressEscape();
            break;
        case CloseBy::wmClose:
            app.PostClose();
            break;
        case CloseBy::systemMenu:
            app.PostSystemCommand(SC_CLOSE);
            break;
    }
}

std::ostream& operator<<(std::ostream& out, CloseBy how) {
    switch (how) {
        case CloseBy::done:
            return out << "Done";
        case CloseBy::escape:
            return out << "Escape";
        case CloseBy::wmClose:
            return out << "WmClose";
        case CloseBy::systemMenu:
            return out << "SystemMenu";
    }
    return out;
}

}  // namespace e2e
