#include "simulated_kavix.h"

#include "flash_map.h"
#include "sim_environment.h"

namespace kavix_test {

SimulatedKavix::SimulatedKavix(const Bytes& flash, bool trace) {
    std::filesystem::current_path(folder.Path());
    UseSimulatedKavix(FlashPath(), trace ? TracePath() : "");
    WriteFlash(flash);
}

SimulatedKavix::~SimulatedKavix() {
    std::filesystem::current_path(previousDirectory);
}

void SimulatedKavix::WriteFlash(const Bytes& flash) const {
    WriteBytes(FlashPath(), flash);
}

Bytes SimulatedKavix::Flash() const {
    return ReadBytes(FlashPath());
}

void SimulatedKavix::WriteImage(const Bytes& image) const {
    WriteBytes(folder.File(flash_map::kImageFileName), image);
}

void SimulatedKavix::SetFault(const char* name, const std::string& value) {
    SetVariable(name, value);
}

std::vector<DeviceCall> SimulatedKavix::Calls() const {
    return ReadTrace(TracePath());
}

int SimulatedKavix::WriteCalls(long firstPage, long endPage) const {
    int writes = 0;
    for (const DeviceCall& call : Calls()) {
        writes +=
            call.function == "orvWriteFlash" && call.index >= firstPage && call.index < endPage;
    }
    return writes;
}

}  // namespace kavix_test
