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
#include "device_flash.h"
#include "device_trace.h"
#include "scratch_folder.h"

namespace kavix_test {

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
