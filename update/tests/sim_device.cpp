#include "sim_device.h"

#include "flash_map.h"
#include "sim_environment.h"

SimDevice::SimDevice() : previousDirectory(std::filesystem::current_path()) {
    std::filesystem::current_path(folder.Path());
    kavix_test::UseSimulatedKavix(folder.File("flash.bin"), folder.File("trace.txt"));
    WriteFlash(DeviceFlash());
}

SimDevice::~SimDevice() {
    std::filesystem::current_path(previousDirectory);
}

void SimDevice::WriteFlash(const Bytes& flash) const {
    WriteBytes(folder.File("flash.bin"), flash);
}

Bytes SimDevice::ReadFlash() const {
    return ReadBytes(folder.File("flash.bin"));
}

void SimDevice::WriteImage(const Bytes& image) const {
    WriteBytes(folder.File(flash_map::kImageFileName), image);
}

void SimDevice::SetFault(const char* name, const std::string& value) {
    kavix_test::SetVariable(name, value);
}

std::vector<DeviceCall> SimDevice::Calls() const {
    return kavix_test::ReadTrace(folder.File("trace.txt"));
}

int SimDevice::WriteCalls() const {
    int writes = 0;
    for (const DeviceCall& call : Calls()) {
        writes += call.function == "orvWriteFlash";
    }
    return writes;
}
