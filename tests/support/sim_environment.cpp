#include "sim_environment.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
extern char** environ;
#endif

namespace kavix_test {

namespace {

const char kPrefix[] = "ORV_SIM_";

bool IsSim(const char* entry) {
#ifdef _WIN32
    return _strnicmp(entry, kPrefix, sizeof kPrefix - 1) == 0;  // names ignore case
#else
    return std::strncmp(entry, kPrefix, sizeof kPrefix - 1) == 0;
#endif
}

// The entries now set, collected before any is changed.
std::vector<std::string> Environment() {
    std::vector<std::string> entries;
#ifdef _WIN32
    if (char* block = GetEnvironmentStringsA()) {
        for (const char* entry = block; *entry; entry += std::strlen(entry) + 1) {
            entries.emplace_back(entry);
        }
        FreeEnvironmentStringsA(block);
    }
#else
    for (char** entry = environ; entry && *entry; ++entry) {
        entries.emplace_back(*entry);
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
    setenv(name, value.c_str(), 1);
#endif
}

void ClearSimVariables() {
    for (const std::string& entry : Environment()) {
        if (!IsSim(entry.c_str())) {
            continue;
        }
        const std::string name = entry.substr(0, entry.find('='));
#ifdef _WIN32
        _putenv_s(name.c_str(), "");
#else
        unsetenv(name.c_str());
#endif
    }
}

void UseSimulatedKavix(const std::string& flash, const std::string& trace) {
    ClearSimVariables();
    SetVariable("ORV_SIM_FLASH", flash);
    SetVariable("ORV_SIM_TRACE", trace);
}

std::vector<std::string> EnvironmentWithoutSim() {
    std::vector<std::string> entries = Environment();
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [](const std::string& entry) { return IsSim(entry.c_str()); }),
                  entries.end());
    return entries;
}

}  // namespace kavix_test
