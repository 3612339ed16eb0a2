#include "simulated_kavix.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
extern char** environ;
#endif

#include "flash_map.h"

namespace kavix_test {

namespace {

const char kPrefix[] = "ORV_SIM_";

// The entries now set as NAME=value: the ORV_SIM_ ones, or all the others.
std::vector<std::string> Environment(bool sim) {
    std::vector<std::string> entries;
    const auto add = [&](const char* entry) {
#ifdef _WIN32
        const bool isSim = _strnicmp(entry, kPrefix, sizeof kPrefix - 1) == 0;  // names ignore case
#else
        const bool isSim = std::strncmp(entry, kPrefix, sizeof kPrefix - 1) == 0;
#endif
        if (isSim == sim) {
            entries.emplace_back(entry);
        }
    };
#ifdef _WIN32
    if (char* block = GetEnvironmentStringsA()) {
        for (const char* entry = block; *entry; entry += std::strlen(entry) + 1) {
            add(entry);
        }
        FreeEnvironmentStringsA(block);
    }
#else
    for (char** entry = environ; entry && *entry; ++entry) {
        add(*entry);
    }
#endif
    return entries;
}

}  // namespace

void SetVariable(const char* name, const std::string& value) {
#ifdef _WIN32
    // The C run-time's copy and the process's block alike: the simulator reads the block.
    _putenv_s(name, value.c_str());
#else
    value.empty() ? unsetenv(name) : setenv(name, value.c_str(), 1);
#endif
}

void UseSimulatedKavix(const std::string& flash, const std::string& trace) {
    for (const std::string& entry : Environment(true)) {
        SetVariable(entry.substr(0, entry.find('=')).c_str(), "");
    }
    SetVariable("ORV_SIM_FLASH", flash);
    SetVariable("ORV_SIM_TRACE", trace);
}

std::vector<std::string> EnvironmentWithoutSim() {
    return Environment(false);
}

std::vector<DeviceCall> ReadTrace(const std::string& path) {
    std::vector<DeviceCall> calls;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        std::istringstream fields(line);
        DeviceCall call;
        std::string index;
        fields >> call.function >> index >> call.status >> call.thread;
        call.index = index == "-" ? -1 : std::stol(index);
        calls.push_back(call);
    }
    return calls;
}

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
