// Steps and checks that many scenarios share.
#ifndef ORVFLASH_TESTS_E2E_SCENARIO_STEPS_H
#define ORVFLASH_TESTS_E2E_SCENARIO_STEPS_H

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "expected_calls.h"
#include "expected_flash.h"
#include "expected_text.h"
#include "orvflash_process.h"

namespace e2e {

// A used Kavix whose page writes each take `writeDelayMs`: slow enough to act during programming.
Scenario SlowProgramming(const char* writeDelayMs);

// Clicks Update, checks the serial question and answers Yes.
void AnswerYesToUpdate(const Orvflash& app, int32_t serial = 20481234);
// Then waits for programming to begin.
void ConfirmUpdate(const Orvflash& app, int32_t serial = 20481234);

// Waits until the log reads `expected` and then checks that it does.
void ExpectLog(const Orvflash& app, const Lines& expected, DWORD timeoutMs = kStepTimeoutMs);

// Byte for byte, naming the first difference.
void ExpectFlash(const Bytes& actual, const Bytes& expected);

// The trace holds exactly these calls, in this order.
void ExpectCalls(const std::vector<DeviceCall>& calls, const std::vector<std::string>& expected);

// Waits for the process to end, failing if it asks anything on the way.
void ExpectClosesWithoutAsking(const Orvflash& app);

// The error that opening `path` for reading, with every kind of sharing allowed, meets; 0 if
// it opens.
DWORD OpenError(const std::string& path);

// The calls named, each with status 0 except those that `failed` picks by 0-based position or
// name.
std::vector<DeviceCall> CallsWithStatus(const std::vector<std::string>& names,
                                        bool (*failed)(std::size_t position,
                                                       const std::string& name));

// The ways a user closes the window.
// systemMenu: the system menu's Close, as Alt+F4 is too.
enum class CloseBy { done, escape, wmClose, systemMenu };
void Close(const Orvflash& app, CloseBy how);
std::ostream& operator<<(std::ostream& out, CloseBy how);

}  // namespace e2e

#endif
