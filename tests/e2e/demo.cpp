#include "demo.h"

#include <windows.h>

#include <cstdio>
#include <fstream>

#include "desktop.h"
#include "expected_text.h"
#include "orvflash_process.h"

namespace e2e {

namespace {

constexpr DWORD kShotTimeoutMs = 60000;

void Moment(const Orvflash& app, const std::string& shots, const char* name) {
    RECT rect = {};
    GetWindowRect(app.Window(), &rect);
    const std::string base = shots + "\\" + name;
    {
        std::ofstream out(base + ".rect.new");
        out << rect.left << " " << rect.top << " " << rect.right - rect.left << " "
            << rect.bottom - rect.top << "\n";
    }
    // Renamed into place so that the script never reads half a line.
    MoveFileExA((base + ".rect.new").c_str(), (base + ".rect").c_str(), MOVEFILE_REPLACE_EXISTING);
    if (!WaitUntil(
            [&] {
                return GetFileAttributesA((base + ".taken").c_str()) != INVALID_FILE_ATTRIBUTES;
            },
            kShotTimeoutMs)) {
        throw DriverError(std::string("no screenshot \"") + name + "\" was taken");
    }
}

// A second start whose Kavix refuses one page of the saved data: the window after a failed run. The
// Kavix is a fresh one of its own, without delays, so the picture costs a second or two.
void FailedRun(const std::string& folder, const std::string& shots) {
    SetEnvironmentVariableA("ORV_SIM_FLASH", (shots + "\\failed_flash.bin").c_str());
    SetEnvironmentVariableA("ORV_SIM_WRITE_FAIL_PAGE", "2100");
    for (const char* delay :
         {"ORV_SIM_READ_DELAY_MS", "ORV_SIM_ERASE_DELAY_MS", "ORV_SIM_WRITE_DELAY_MS"}) {
        SetEnvironmentVariableA(delay, nullptr);
    }
    Orvflash app(folder);
    app.WaitForLogLine(kWelcome[7]);
    app.ClickUpdate();
    app.Answer(app.WaitForBox("Question", 30000), IDYES);
    app.WaitForLogLine(kAdvice, kRunTimeoutMs);
    Moment(app, shots, "failed");
    app.ClickDone();
    if (!app.WaitForExit(kStepTimeoutMs)) {
        throw DriverError("orvflash.exe did not end after Done");
    }
}

}  // namespace

int RunDemo(const std::string& folder, const std::string& shots) {
    try {
        Orvflash app(folder);
        app.WaitForLogLine(kWelcome[7]);
        Moment(app, shots, "start");

        const DWORD clicked = GetTickCount();
        app.ClickUpdate();
        const MessageBoxWindow question = app.WaitForBox("Question", 30000);
        std::printf("demo: %s\n", question.text.c_str());
        app.Answer(question, IDYES);
        app.WaitForLogLine(kUpdating, 30000);
        app.WaitForBarBeyond(90, kRunTimeoutMs);
        Moment(app, shots, "programming");

        app.WaitForLogLine(kSafeToClose, kRunTimeoutMs);
        std::printf("demo: the run took %.1f s from the Update click\n",
                    (GetTickCount() - clicked) / 1000.0);
        Moment(app, shots, "finished");

        app.ClickDone();
        if (!app.WaitForExit(kStepTimeoutMs)) {
            throw DriverError("orvflash.exe did not end after Done");
        }
        std::printf("demo: the run finished and the program closed\n");

        FailedRun(folder, shots);
        std::printf("demo: a run with a failing page write ended in its error lines\n");
        return 0;
    } catch (const std::exception& error) {
        std::printf("demo: %s\n", error.what());
        return 1;
    }
}

}  // namespace e2e
