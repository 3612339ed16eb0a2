// Figure 1: a whole update run through the real update code, with the recording fake window and
// the simulated Kavix without delays, against the bare loop of the same device calls. Run in
// pairs, alternating which goes first, so that a busy moment of the machine hits both alike.
//
//   update_run_bench [--pairs=N] [--results=FILE]   the figure
//   update_run_bench --check                         only that both make the same calls
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bare_run.h"
#include "expected_calls.h"
#include "expected_text.h"
#include "fake_window.h"
#include "flash_map.h"
#include "bytes.h"
#include "results_file.h"
#include "simulated_kavix.h"
#include "spread.h"
#include "std_firmware_file.h"
#include "std_saved_copy_folder.h"
#include "update_run.h"

namespace {

using kavix_test::DeviceCall;
using kavix_test::SimulatedKavix;

constexpr int32_t kImagePages = flash_map::kImageSize / flash_map::kPageSize;
const std::size_t kRunCalls = CompleteRunCalls(flash_map::kImageSize).size();

// One click on Update in a freshly initialised window, up to the worker's end.
double UpdaterRunSeconds(SimulatedKavix& device) {
    device.WriteFlash(DeviceFlash());
    FakeWindow window;
    UpdateRun run(window, std::make_unique<StdFirmwareFile>(),
                  std::make_unique<StdSavedCopyFolder>(device.Folder() / "copies"));
    window.run = &run;
    run.Reset();

    const auto start = std::chrono::steady_clock::now();
    window.ClickUpdate();
    window.JoinWorker();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (window.Log().back() != kSafeToClose) {
        throw std::runtime_error("the update run did not finish: " + window.Log().back());
    }
    return seconds;
}

BareRunTimes BareRunOnFreshFlash(SimulatedKavix& device, const Bytes& image) {
    device.WriteFlash(DeviceFlash());
    BareRunTimes times = BareRun(image.data(), kImagePages);
    if (!times.succeeded) {
        throw std::runtime_error("a device call of the bare run failed");
    }
    return times;
}

std::vector<std::pair<std::string, long>> CallsOf(const SimulatedKavix& device) {
    std::vector<std::pair<std::string, long>> calls;
    for (const DeviceCall& call : device.Calls()) {
        calls.emplace_back(call.function, call.index);
    }
    return calls;
}

// The figure means something only while the bare loop makes exactly the update run's calls.
bool SameCalls(SimulatedKavix& device, const Bytes& image) {
    const std::filesystem::path trace = device.Folder() / "trace.txt";
    UpdaterRunSeconds(device);
    const auto updater = CallsOf(device);
    std::filesystem::remove(trace);
    BareRunOnFreshFlash(device, image);
    const auto bare = CallsOf(device);
    std::filesystem::remove(trace);
    std::printf("device calls: update run %zu, bare loop %zu, expected %zu\n", updater.size(),
                bare.size(), kRunCalls);
    if (updater.size() != kRunCalls || updater != bare) {
        std::printf("the bare loop does not make the update run's calls\n");
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int pairs = 31;
    bool checkOnly = false;
    std::string resultsPath = "native-results.txt";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--pairs=", 8) == 0) {
            pairs = std::atoi(argv[i] + 8);
        } else if (std::strncmp(argv[i], "--results=", 10) == 0) {
            resultsPath = argv[i] + 10;
        } else if (std::strcmp(argv[i], "--check") == 0) {
            checkOnly = true;
        } else {
            std::fprintf(stderr, "update_run_bench: unknown argument %s\n", argv[i]);
            return 64;
        }
    }
    // Results go where the caller started us; the device works in a folder of its own.
    resultsPath = std::filesystem::absolute(resultsPath).string();

    try {
        SimulatedKavix device;
        const Bytes image = Pattern(flash_map::kImageSize, 11);
        device.WriteImage(image);
        if (!SameCalls(device, image)) {
            return 1;
        }
        if (checkOnly) {
            return 0;
        }
        // The trace would double the simulator's file work; the figure is about the updater.
        SimulatedKavix::SetFault("ORV_SIM_TRACE", "");
        UpdaterRunSeconds(device);
        BareRunOnFreshFlash(device, image);

        std::vector<double> ratios, updaterSeconds, bareSeconds, writeMicroseconds;
        for (int i = 0; i < pairs; ++i) {
            double updater = 0;
            BareRunTimes bare;
            if (i % 2 == 0) {
                updater = UpdaterRunSeconds(device);
                bare = BareRunOnFreshFlash(device, image);
            } else {
                bare = BareRunOnFreshFlash(device, image);
                updater = UpdaterRunSeconds(device);
            }
            ratios.push_back(updater / bare.TotalSeconds());
            updaterSeconds.push_back(updater);
            bareSeconds.push_back(bare.TotalSeconds());
            writeMicroseconds.push_back(bare.writesSeconds / bare.pageWrites * 1e6);
        }
        ResultsFile results(resultsPath);
        results.Put("native_pairs", pairs);
        results.Put("native_calls", double(kRunCalls));
        results.Put("native_ratio", SpreadOf(ratios));
        results.Put("native_updater_ms", SpreadOf(updaterSeconds).median * 1000);
        results.Put("native_bare_ms", SpreadOf(bareSeconds).median * 1000);
        results.Put("native_sim_write_us", SpreadOf(writeMicroseconds).median);
    } catch (const std::exception& error) {
        std::printf("update_run_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
