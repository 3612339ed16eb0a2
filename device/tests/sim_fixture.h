// Each test of the simulated Kavix gets a folder of its own for the flash image and the trace, and
// starts with every ORV_SIM_ variable cleared.
#ifndef ORV_SIM_TESTS_SIM_FIXTURE_H
#define ORV_SIM_TESTS_SIM_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "bytes.h"
#include "kavix_layout.h"
#include "orv_api.h"
#include "pattern.h"
#include "scratch_folder.h"
#include "sim/status.h"
#include "sim_environment.h"

namespace fs = std::filesystem;

using layout::kFlash;
using layout::kMiB;
using layout::kPage;
using layout::kSector;

// An empty value clears the variable on Windows and reads as unset in the simulator.
using kavix_test::SetVariable;

inline unsigned long ThisThreadId() {
#ifdef _WIN32
    return GetCurrentThreadId();
#else
    return static_cast<unsigned long>(gettid());
#endif
}

class SimTest : public ::testing::Test {
protected:
    void SetUp() override { kavix_test::UseSimulatedKavix(flashPath.string(), ""); }

    // Opens with the variables as set; fails the test when the open fails.
    int32_t Open() {
        int32_t handle = 0;
        EXPECT_EQ(orvOpenDevice(&handle), orv_sim::kOk);
        return handle;
    }

    Bytes Flash() const { return ReadBytes(flashPath.string()); }

    ScratchFolder scratch{"orv-sim-test"};
    fs::path folder = scratch.Path();
    fs::path flashPath = folder / "flash.bin";
    fs::path tracePath = folder / "trace.txt";
};

#endif
