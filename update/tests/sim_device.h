// Sets up the simulated Kavix for a test: a work folder as the current directory, a flash file
// whose contents the test chooses, a trace of the device calls, and faults by environment.
#ifndef ORVFLASH_UPDATE_TESTS_SIM_DEVICE_H
#define ORVFLASH_UPDATE_TESTS_SIM_DEVICE_H

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "device_trace.h"

using Bytes = std::vector<unsigned char>;

constexpr int32_t kSimFlashSize = 0x200000;

using orv_sim::DeviceCall;

class SimDevice {
public:
    SimDevice();
    ~SimDevice();

    // A flash with an old firmware, a data block holding `serial` and `version`, and a pattern
    // beyond the first 1 MiB that nothing may touch.
    static Bytes FactoryFlash(int32_t serial, uint16_t version);

    void WriteFlash(const Bytes& flash);
    Bytes ReadFlash() const;
    void WriteImage(const Bytes& image);

    // Sets an ORV_SIM_ variable for the next open; all are cleared between tests.
    static void SetFault(const char* name, const std::string& value);

    std::vector<DeviceCall> Calls() const;
    int WriteCalls() const;

    const std::filesystem::path& Folder() const { return folder; }

private:
    std::filesystem::path previousDirectory;
    std::filesystem::path folder;
};

// Deterministic bytes for images.
Bytes PatternBytes(std::size_t length, unsigned seed);

#endif
