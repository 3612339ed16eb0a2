// What every driver started by run_in_desktop.sh shares: its output goes to a file, its result to
// a status file, and a watchdog ends it at its deadline however a run hangs.
#ifndef ORVFLASH_TESTS_E2E_DRIVER_SESSION_H
#define ORVFLASH_TESTS_E2E_DRIVER_SESSION_H

#include <string>

namespace e2e {

// Takes "--name=value" into `value`, a Unix path as Wine's drive Z:. False for any other argument.
bool Option(const char* arg, const char* name, std::string& value);

class DriverSession {
public:
    // Takes --output, --status and --deadline; false for any other argument.
    bool TakeOption(const char* arg);
    // Sends stdout and stderr to the --output file, unbuffered, and starts the watchdog. False
    // when the output file cannot be opened.
    bool Begin();
    // Writes `status` to the --status file.
    void End(int status) const;

private:
    std::string output;
    std::string statusPath;
    std::string deadline;
};

}  // namespace e2e

#endif
