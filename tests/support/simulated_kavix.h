// A simulated Kavix in a scratch folder of its own, the one set-up of every layer of tests: the
// folder (the current directory while the fixture lives), the device's flash file, the trace of its
// calls, the image beside them, and faults by ORV_SIM_ variables, all others cleared.
#ifndef ORVFLASH_TESTS_SUPPORT_SIMULATED_KAVIX_H
#define ORVFLASH_TESTS_SUPPORT_SIMULATED_KAVIX_H

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "bytes.h"
#include "kavix_flash.h"
#include "scratch_folder.h"

namespace kavix_test {

// How the simulated Kavix ends a process it cuts short: a code no run of the program ends with.
constexpr unsigned kCutExitCode = 99;

// The simulator's environment, as the tests set it.
// Sets a variable for this process and the programs it starts; an empty value unsets it.
void SetVariable(const char* name, const std::string& value);

// A simulated Kavix on `flash`, with its calls traced to `trace` (none if empty), and no other
// ORV_SIM_ variable, whatever the caller's environment brought: a stray fault or delay would change
// what a test sees.
void UseSimulatedKavix(const std::string& flash, const std::string& trace);

// This process's environment as NAME=value entries, without the ORV_SIM_ variables, for a program
// that is to get only the ones its test sets.
std::vector<std::string> EnvironmentWithoutSim();

// The trace that the simulated Kavix writes (ORV_SIM_TRACE): one line per call,
// "function index|- status thread".
struct DeviceCall {
    std::string function;
    long index = -1;  // -1 for "-": the call has none
    long status = 0;
    std::string thread;
};

// The trace file; an absent file is an empty trace.
std::vector<DeviceCall> ReadTrace(const std::string& path);

class SimulatedKavix {
public:
    // `trace` false: the calls are not traced, as a benchmark wants (the trace doubles the
    // simulator's file work per call).
    explicit SimulatedKavix(const Bytes& flash = DeviceFlash(), bool trace = true);
    SimulatedKavix(const SimulatedKavix&) = delete;
    SimulatedKavix& operator=(const SimulatedKavix&) = delete;
    ~SimulatedKavix();

    const std::filesystem::path& Folder() const { return folder.Path(); }
    std::string FlashPath() const { return folder.File("flash.bin"); }
    std::string TracePath() const { return folder.File("trace.txt"); }

    void WriteFlash(const Bytes& flash) const;
    Bytes Flash() const;
    // Kavix_V5.dat in the folder.
    void WriteImage(const Bytes& image) const;

    // Sets an ORV_SIM_ variable for the next open; "" unsets it. All are cleared per fixture.
    static void SetFault(const char* name, const std::string& value);

    std::vector<DeviceCall> Calls() const;
    // The traced page writes, of the pages [firstPage, endPage).
    int WriteCalls(long firstPage = 0, long endPage = LONG_MAX) const;

private:
    ScratchFolder folder{"orvflash-test"};
    std::filesystem::path previousDirectory = std::filesystem::current_path();
};

}  // namespace kavix_test

#endif
