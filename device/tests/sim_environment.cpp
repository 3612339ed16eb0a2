#include "sim_environment.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
extern char** environ;
#endif

namespace orv_sim {

namespace {

const char kPrefix[] = "ORV_SIM_";

void AddIfSim(const char* entry, std::vector<std::string>& names) {
#ifdef _WIN32
    const bool sim = _strnicmp(entry, kPrefix, sizeof kPrefix - 1) == 0;  // names ignore case
#else
    const bool sim = std::strncmp(entry, kPrefix, sizeof kPrefix - 1) == 0;
#endif
    if (sim) {
        const char* equals = std::strchr(entry, '=');
        names.emplace_back(entry, equals ? std::size_t(equals - entry) : std::strlen(entry));
    }
}

// The names of the ORV_SIM_ variables now set, collected before any is changed.
std::vector<std::string> SimVariableNames() {
    std::vector<std::string> names;
#ifdef _WIN32
    if (char* block = GetEnvironmentStringsA()) {
        for (const char* entry = block; *entry; entry += std::strlen(entry) + 1) {
            AddIfSim(entry, names);
        }
        FreeEnvironmentStringsA(block);
    }
#else
    for (char** entry = environ; entry && *entry; ++entry) {
        AddIfSim(*entry, names);
    }
#endif
    return names;
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
    for (const std::string& name : SimVariableNames()) {
#ifdef _WIN32
        _putenv_s(name.c_str(), "");
#else
        unsetenv(name.c_str());
#endif
    }
}

}  // namespace orv_sim
