// Steps and checks that many scenarios share.
#ifndef ORVFLASH_TESTS_E2E_SCENARIO_STEPS_H
#define ORVFLASH_TESTS_E2E_SCENARIO_STEPS_H

#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "expected_calls.h"
#include "kavix_flash.h"
#include "orvflash_process.h"

namespace e2e {

// A used Kavix whose page writes each take `writeDelayMs`: slow enough to act during programming.
inline Scenario SlowProgramming(const char* ms) {
    return {{{"ORV_SIM_WRITE_DELAY_MS", ms}}};
}

// Clicks Update, checks the serial question and answers Yes; Confirm then waits for programming.
void AnswerYesToUpdate(const Orvflash& app, int32_t serial = kTestSerial);
void ConfirmUpdate(const Orvflash& app, int32_t serial = kTestSerial);

// Clicks Update once more and checks the warning that the update has begun.
void ExpectAlreadyStartedWarning(const Orvflash& app);

// Waits until the log reads `expected` and then checks that it does.
void ExpectLog(const Orvflash& app, const Lines& expected, DWORD timeoutMs = kStepTimeoutMs);
void ExpectFlash(const Bytes& actual, const Bytes& expected);
void ExpectCalls(const std::vector<DeviceCall>& calls, const std::vector<std::string>& expected);
// Waits for the process to end, failing if it asks anything on the way.
void ExpectClosesWithoutAsking(const Orvflash& app);

// The ways a user closes the window.
struct CloseBy {
    const char* name;
    void (*close)(const Orvflash& app);
    friend void PrintTo(const CloseBy& how, std::ostream* out) { *out << how.name; }
};
inline constexpr CloseBy kDone{"Done", [](const Orvflash& app) { app.ClickDone(); }};
inline constexpr CloseBy kEscape{"Escape", [](const Orvflash& app) { app.PressEscape(); }};
inline constexpr CloseBy kWmClose{"WmClose", [](const Orvflash& app) { app.Post(WM_CLOSE); }};
// The system menu's Close, as Alt+F4 is too.
inline constexpr CloseBy kSystemMenu{
    "SystemMenu", [](const Orvflash& app) { app.Post(WM_SYSCOMMAND, SC_CLOSE); }};

// Closes the window `how` while it programs, answers Yes to the first `yes` questions and returns
// the close warning that comes next.
Box CloseToWarning(const Orvflash& app, const CloseBy& how, int yes = 0);
// Clicks Yes in the last close warning; the process must be gone within 2 s of the click.
void ConfirmClose(const Orvflash& app, const Box& warning);

// Waits for the run to end with `log` after the welcome text and the closing lines, then closes
// the window `how` and checks that it ends without asking.
void FinishRun(const Orvflash& app, std::initializer_list<std::string> log,
               const CloseBy& how = kDone);

// The error that opening `path` for reading, with every kind of sharing allowed, meets; 0 if it
// opens.
DWORD OpenError(const std::string& path);

// A file's bytes as text; empty if there is none.
std::string ReadText(const std::filesystem::path& path);

// The copies kept in the computer's folder, without their records.
std::vector<std::filesystem::path> CopiesKept();

}  // namespace e2e

#endif
