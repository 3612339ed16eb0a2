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
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "demo.h"
#include "driver_session.h"
#include "orvflash_process.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    e2e::DriverSession session;
    std::string program, library, work, demo, shots;
    for (int i = 1; i < argc; ++i) {
        if (!session.TakeOption(argv[i]) && !e2e::Option(argv[i], "--program", program) &&
            !e2e::Option(argv[i], "--library", library) && !e2e::Option(argv[i], "--work", work) &&
            !e2e::Option(argv[i], "--demo", demo) && !e2e::Option(argv[i], "--shots", shots)) {
            std::fprintf(stderr, "orvflash_e2e: unknown argument %s\n", argv[i]);
            return 64;
        }
    }
    if (!session.Begin()) {
        return 65;
    }

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
    session.End(status);
    return status;
}
