#include "driver_session.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <io.h>

namespace e2e {

namespace {

constexpr DWORD kDeadlineMs = 900000;
std::string statusPath;

// However a run hangs, the driver ends in time; its job objects end the programs with it.
DWORD WINAPI Watchdog(LPVOID) {
    Sleep(kDeadlineMs);
    std::printf("\norvflash driver: deadline passed, giving up\n");
    EndSession(2);
    TerminateProcess(GetCurrentProcess(), 2);
    return 0;
}

}  // namespace

bool Option(const char* arg, const char* name, std::string& value) {
    const std::size_t length = std::strlen(name);
    if (std::strncmp(arg, name, length) != 0 || arg[length] != '=') {
        return false;
    }
    value = arg + length + 1;
    if (!value.empty() && value[0] == '/') {
        value = "Z:" + value;
        std::replace(value.begin(), value.end(), '/', '\\');
    }
    return true;
}

bool BeginSession(const std::string& folder) {
    if (!folder.empty()) {
        // To a file: a pipe would be held open by Wine after the driver ends.
        if (!std::freopen((folder + "\\output.txt").c_str(), "w", stdout)) {
            return false;
        }
        _dup2(_fileno(stdout), _fileno(stderr));
        statusPath = folder + "\\status";
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
    return true;
}

void EndSession(int status) {
    if (std::FILE* file = statusPath.empty() ? nullptr : std::fopen(statusPath.c_str(), "wb")) {
        std::fprintf(file, "%d\n", status);
        std::fclose(file);
    }
    std::fflush(stdout);
}

}  // namespace e2e
