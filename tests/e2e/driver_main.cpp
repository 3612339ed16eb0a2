// The end-to-end driver: runs the scenarios against a built orvflash.exe and orv_api.dll.
//   orvflash_e2e --program=EXE --library=DLL [--session=DIR] [gtest flags]
// Paths may be Unix paths; they are taken as Wine's drive Z:.
#include <windows.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "driver_session.h"
#include "orvflash_process.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::GTEST_FLAG(color) = "no";
    std::string session, program, library;
    for (int i = 1; i < argc; ++i) {
        if (!e2e::Option(argv[i], "--session", session) &&
            !e2e::Option(argv[i], "--program", program) &&
            !e2e::Option(argv[i], "--library", library)) {
            std::fprintf(stderr, "orvflash_e2e: unknown argument %s\n", argv[i]);
            return 64;
        }
    }
    if (!e2e::BeginSession(session)) {
        return 65;
    }
    int status = 64;
    if (program.empty() || library.empty()) {
        std::printf("orvflash_e2e: --program and --library are needed\n");
    } else {
        e2e::Orvflash::Configure(program, library);
        // The library under test is the simulated Kavix, which unattended runs refuse without it.
        SetEnvironmentVariableA("ORV_ALLOW_SIMULATOR", "1");
        status = RUN_ALL_TESTS();
    }
    e2e::EndSession(status);
    return status;
}
