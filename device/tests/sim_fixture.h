// Each test of the simulated Kavix gets a folder of its own for the flash image and the trace, and
// starts with every ORV_SIM_ variable cleared.
#ifndef ORV_SIM_TESTS_SIM_FIXTURE_H
#define ORV_SIM_TESTS_SIM_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <process.h>
#else
#include <unistd.h>
#endif

#include "orv_api.h"
#include "sim_environment.h"
#include "sim/status.h"

using Bytes = std::vector<unsigned char>;
namespace fs = std::filesystem;

constexpr std::size_t kFlash = 0x200000;
constexpr std::size_t kMiB = 0x100000;
constexpr std::size_t kSector = 0x10000;
constexpr std::size_t kPage = 0x100;

// An empty value clears the variable on Windows and reads as unset in the simulator.
using orv_sim::SetVariable;

inline unsigned long ThisThreadId() {
#ifdef _WIN32
    return GetCurrentThreadId();
#else
    return static_cast<unsigned long>(gettid());
#endif
}

// Deterministic bytes without 0xFF, different for each seed.
inline Bytes Pattern(std::size_t length, uint32_t seed) {
    Bytes bytes(length);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<unsigned char>((x >> 16) % 255);
    }
    return bytes;
}

inline Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t length) {
    return Bytes(bytes.begin() + offset, bytes.begin() + offset + length);
}

inline Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    Bytes bytes(in ? static_cast<std::size_t>(in.tellg()) : 0);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    return bytes;
}

inline void WriteFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class SimTest : public ::testing::Test {
protected:
    void SetUp() override {
        // ctest runs the tests as parallel processes: the process id keeps their folders apart.
        static int count = 0;
        folder = fs::temp_directory_path() /
                 ("orv-sim-test-" + std::to_string(getpid()) + "-" + std::to_string(++count));
        flashPath = folder / "flash.bin";
        tracePath = folder / "trace.txt";
        fs::remove_all(folder);
        fs::create_directories(folder);
        orv_sim::ClearSimVariables();
        SetVariable("ORV_SIM_FLASH", flashPath.string());
    }

    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    // Opens with the variables as set; fails the test when the open fails.
    int32_t Open() {
        int32_t handle = 0;
        EXPECT_EQ(orvOpenDevice(&handle), orv_sim::kOk);
        return handle;
    }

    Bytes Flash() const { return ReadFile(flashPath); }

    fs::path folder;
    fs::path flashPath;
    fs::path tracePath;
};

#endif
