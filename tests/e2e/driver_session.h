// What every driver that run_in_desktop.sh starts shares: with --session=DIR its output goes to
// DIR\output.txt and its exit status to DIR\status (Wine's explorer, which starts it in a virtual
// desktop, passes neither on), and a watchdog ends it after 15 minutes however a run hangs.
#ifndef ORVFLASH_TESTS_E2E_DRIVER_SESSION_H
#define ORVFLASH_TESTS_E2E_DRIVER_SESSION_H

#include <string>

namespace e2e {

// Takes "--name=value" into `value`, a Unix path as Wine's drive Z:. False for any other argument.
bool Option(const char* arg, const char* name, std::string& value);

// False when the output file cannot be opened.
bool BeginSession(const std::string& folder);
void EndSession(int status);

}  // namespace e2e

#endif
