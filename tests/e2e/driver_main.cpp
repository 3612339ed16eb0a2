// The end-to-end driver. Runs the scenarios against a built orvflash.exe and orv_api.dll, or with
// --demo walks one update run through a demo folder for screenshots.
//
//   orvflash_e2e --program=EXE --library=DLL [--work=DIR] [--output=FILE] [--status=FILE]
//                [--deadline=SECONDS] [gtest flags]
//   orvflash_e2e --demo=FOLDER --shots=DIR [--output=FILE] [--status=FILE]
//
// Paths may be Unix paths; they are taken as Wine's drive Z:.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <io.h>
#include <string>

#include <gtest/gtest.h>

#include "demo.h"
#include "desktop.h"
#include "orvflash_process.h"

namespace {

std::string statusPath;

void WriteStatus(int status) {
    if (statusPath.empty()) {
        return;
    }
    if (std::FILE* file = std::fopen(statusPath.c_str(), "wb")) {
        std::fprintf(file, "%d\n", status);
        std::fclose(file);
    }
}

// However a scenario hangs, the driver ends in time; its job objects end the programs with it.
DWORD WINAPI Watchdog(LPVOID seconds) {
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    WaitForSingleObject(never, DWORD(reinterpret_cast<uintptr_t>(seconds)) * 1000);
    std::printf("\norvflash_e2e: deadline passed, giving up\n");
    std::fflush(stdout);
    WriteStatus(2);
    TerminateProcess(GetCurrentProcess(), 2);
    return 0;
}

bool Option(const char* arg, const char* name, std::string& value) {
    const std::size_t length = std::strlen(name);
    if (std::strncmp(arg, name, length) != 0 || arg[length] != '=') {
        return false;
    }
    value = e2e::WindowsPath(arg + length + 1);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::string program, library, work, output, demo, shots, deadline;
    for (int i = 1; i < argc; ++i) {
        if (!Option(argv[i], "--program", program) && !Option(argv[i], "--library", library) &&
            !Option(argv[i], "--work", work) && !Option(argv[i], "--output", output) &&
            !Option(argv[i], "--status", statusPath) && !Option(argv[i], "--demo", demo) &&
            !Option(argv[i], "--shots", shots) && !Option(argv[i], "--deadline", deadline)) {
            std::fprintf(stderr, "orvflash_e2e: unknown argument %s\n", argv[i]);
            return 64;
        }
    }
    if (!output.empty()) {
        // Output to a file: a pipe would be held open by Wine after the driver ends.
        if (!std::freopen(output.c_str(), "w", stdout)) {
            return 65;
        }
        _dup2(_fileno(stdout), _fileno(stderr));
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    const unsigned long seconds =
        deadline.empty() ? 900 : std::strtoul(deadline.c_str(), nullptr, 10);
    CreateThread(nullptr, 0, Watchdog, reinterpret_cast<LPVOID>(uintptr_t(seconds)), 0, nullptr);

    int status;
    if (!demo.empty()) {
        status = e2e::RunDemo(demo, shots);
    } else if (program.empty() || library.empty()) {
        std::printf("orvflash_e2e: --program and --library are needed\n");
        status = 64;
    } else {
        if (work.empty()) {
            char temp[MAX_PATH];
            GetTempPathA(MAX_PATH, temp);
            work = std::string(temp) + "orvflash-e2e";
        }
        std::filesystem::create_directories(work);
        e2e::Orvflash::Configure(program, library, work);
        ::testing::GTEST_FLAG(color) = "no";
        status = RUN_ALL_TESTS();
    }
    WriteStatus(status);
    std::fflush(stdout);
    return status;
}
