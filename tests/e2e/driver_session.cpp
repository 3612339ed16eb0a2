#include "driver_session.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <io.h>

#include "desktop.h"

namespace e2e {

namespace {

std::string watchdogStatusPath;

void WriteStatus(const std::string& path, int status) {
    if (path.empty()) {
        return;
    }
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fprintf(file, "%d\n", status);
        std::fclose(file);
    }
}

// However a run hangs, the driver ends in time; its job objects end the programs with it.
DWORD WINAPI Watchdog(LPVOID seconds) {
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    WaitForSingleObject(never, DWORD(reinterpret_cast<uintptr_t>(seconds)) * 1000);
    std::printf("\norvflash driver: deadline passed, giving up\n");
    std::fflush(stdout);
    WriteStatus(watchdogStatusPath, 2);
    TerminateProcess(GetCurrentProcess(), 2);
    return 0;
}

}  // namespace

bool Option(const char* arg, const char* name, std::string& value) {
    const std::size_t length = std::strlen(name);
    if (std::strncmp(arg, name, length) != 0 || arg[length] != '=') {
        return false;
    }
    value = WindowsPath(arg + length + 1);
    return true;
}

bool DriverSession::TakeOption(const char* arg) {
    return Option(arg, "--output", output) || Option(arg, "--status", statusPath) ||
           Option(arg, "--deadline", deadline);
}

bool DriverSession::Begin() {
    if (!output.empty()) {
        // Output to a file: a pipe would be held open by Wine after the driver ends.
        if (!std::freopen(output.c_str(), "w", stdout)) {
            return false;
        }
        _dup2(_fileno(stdout), _fileno(stderr));
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    const unsigned long seconds =
        deadline.empty() ? 900 : std::strtoul(deadline.c_str(), nullptr, 10);
    watchdogStatusPath = statusPath;
    CreateThread(nullptr, 0, Watchdog, reinterpret_cast<LPVOID>(uintptr_t(seconds)), 0, nullptr);
    return true;
}

void DriverSession::End(int status) const {
    WriteStatus(statusPath, status);
    std::fflush(stdout);
}

}  // namespace e2e
