// Sets up the simulated Kavix for a test: a work folder as the current directory, a flash file
// whose contents the test chooses, a trace of the device calls, and faults by environment.
#ifndef ORVFLASH_UPDATE_TESTS_SIM_DEVICE_H
#define ORVFLASH_UPDATE_TESTS_SIM_DEVICE_H

#include <filesystem>
#include <string>
#include <vector>

#include "bytes.h"
#include "device_flash.h"
#include "device_trace.h"
#include "pattern.h"
#include "scratch_folder.h"

using kavix_test::DeviceCall;

class SimDevice {
public:
    SimDevice();
    ~SimDevice();

    void WriteFlash(const Bytes& flash) const;
    Bytes ReadFlash() const;
    void WriteImage(const Bytes& image) const;

    // Sets an ORV_SIM_ variable for the next open; all are cleared between tests.
    static void SetFault(const char* name, const std::string& value);

    std::vector<DeviceCall> Calls() const;
    int WriteCalls() const;

    const std::filesystem::path& Folder() const { return folder.Path(); }

private:
    std::filesystem::path previousDirectory;
    ScratchFolder folder{"orvflash-update-test"};
};

#endif
