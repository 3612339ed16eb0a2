// Figures 2 to 5, under Wine: the real orvflash.exe driven from outside through its window, with
// the simulated Kavix, against the bare device calls made in this process; then one run with the
// simulator slowed to a model of the real device, during which a probe times the window's answers
// and the program's memory is read.
//
//   orvflash_bench --program=EXE --library=DLL --work=DIR --results=FILE [--pairs=N]
//                  [--session=DIR]
//
// Paths may be Unix paths; they are taken as Wine's drive Z:. Run inside a Wine virtual desktop
// (tests/e2e/run_in_desktop.sh), where closing a window costs no wait.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bare_run.h"
#include "driver_session.h"
#include "expected_calls.h"
#include "expected_text.h"
#include "flash_map.h"
#include "orvflash_process.h"
#include "process_memory.h"
#include "responsiveness_probe.h"
#include "results_file.h"
#include "simulated_kavix.h"
#include "spread.h"

namespace {

using namespace e2e;
using Clock = std::chrono::steady_clock;

// A model of the real Kavix.
constexpr int kReadDelayMs = 20;
constexpr int kWriteDelayMs = 30;
constexpr int kEraseDelayMs = 2000;
constexpr int kImagePages = layout::ImagePages(layout::kImageLimit);
constexpr int kPageWrites = kImagePages + flash_map::kRestoredPages;
constexpr double kModelPreparationSeconds = flash_map::kDataBlockSectors * kReadDelayMs / 1000.0;
// The worker reads the whole first MiB before the erase (the data block again, and the firmware
// half for the copy's record) and reads it back after the writes.
constexpr int kWorkerReads = 2 * flash_map::kDataBlockSectors + 2 * flash_map::kDataBlockSectors;
constexpr double kModelProgrammingSeconds =
    (kEraseDelayMs + kPageWrites * kWriteDelayMs + kWorkerReads * kReadDelayMs) / 1000.0;
constexpr DWORD kModelRunTimeoutMs = 300000;
constexpr DWORD kCoarsePollMs = 20;
constexpr double kKiB = 1024;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct UpdaterRun {
    double clickToQuestionSeconds = 0;
    double yesToFinishedSeconds = 0;
    ProcessMemory idle;
    ProcessMemory finished;
    std::vector<double> answerMs;          // with a probe only
    std::vector<std::string> deviceCalls;  // with a trace only
};

// Every poll is a round trip through the Wine server, which the simulator's file calls need too,
// and a poll every millisecond throughout slowed the run measurably. The bar is polled coarsely
// until it stands at 187, about 260 pages before the end, and the log finely after that.
void WaitForFinished(const Orvflash& app, DWORD timeoutMs) {
    if (!WaitUntil([&] { return app.BarPos() >= 187; }, timeoutMs, kCoarsePollMs) ||
        !WaitUntil([&] { return Has(app.Log(), kFinishedUpdating); }, kStepTimeoutMs, 1)) {
        throw DriverError("the run did not finish; the log holds " +
                          ::testing::PrintToString(app.Log()));
    }
}

// Starts orvflash.exe, clicks Update, answers Yes and times the run to its closing lines.
UpdaterRun RunUpdater(const Scenario& scenario, bool probe, DWORD timeoutMs) {
    UpdaterRun run;
    Orvflash app(scenario);
    app.WaitForLogLine(kWelcome[7]);
    app.Sync();
    run.idle = MemoryOf(app.ProcessId());

    const auto clicked = Clock::now();
    app.ClickUpdate();
    const Box question = app.WaitForBox("Question", 30000);
    run.clickToQuestionSeconds = SecondsSince(clicked);

    std::optional<ResponsivenessProbe> prober;
    if (probe) {
        prober.emplace(app.Window());
    }
    const auto yes = Clock::now();
    app.Answer(question, IDYES);
    WaitForFinished(app, timeoutMs);
    run.yesToFinishedSeconds = SecondsSince(yes);
    if (prober) {
        run.answerMs = prober->Stop();
    }
    app.WaitForLogLine(kSafeToClose);
    run.finished = MemoryOf(app.ProcessId());

    if (app.Log() != LogOf({kIdentifying, kUpdating}, {kFinished})) {
        throw DriverError("the run's log is not a complete run's: " +
                          ::testing::PrintToString(app.Log()));
    }
    app.ClickDone();
    if (!app.WaitForExit(kStepTimeoutMs)) {
        throw DriverError("orvflash.exe did not end after Done");
    }
    if (scenario.trace) {
        run.deviceCalls = CallNames(app.Trace());
    }
    return run;
}

// The bare calls in this process, on a factory-fresh flash in `folder`.
BareRunTimes RunBare(const std::string& folder, const Bytes& image, bool trace) {
    std::filesystem::create_directories(folder);
    WriteBytes(folder + "\\flash.bin", DeviceFlash());
    std::filesystem::remove(folder + "\\trace.txt");
    // As the updater's side gets it: no fault or delay from the caller's environment.
    kavix_test::UseSimulatedKavix(folder + "\\flash.bin", trace ? folder + "\\trace.txt" : "");
    const BareRunTimes times = BareRun(image.data(), kImagePages);
    if (!times.succeeded) {
        throw DriverError("a device call of the bare run failed");
    }
    return times;
}

// Both sides must make a complete run's calls, or the ratio compares different work.
void CheckSameCalls(const UpdaterRun& updater, const std::string& bareFolder) {
    const std::vector<std::string> expected = CompleteRunCalls(layout::kImageLimit);
    const std::string updaterDifference = FirstDifference(updater.deviceCalls, expected);
    const std::string bareDifference =
        FirstDifference(CallNames(kavix_test::ReadTrace(bareFolder + "\\trace.txt")), expected);
    std::printf("device calls: %zu expected; orvflash.exe: %s; bare run: %s\n", expected.size(),
                updaterDifference.empty() ? "same" : updaterDifference.c_str(),
                bareDifference.empty() ? "same" : bareDifference.c_str());
    if (!updaterDifference.empty() || !bareDifference.empty()) {
        throw DriverError("the two sides do not make the same device calls");
    }
}

Scenario Untraced() {
    Scenario scenario;
    scenario.trace = false;
    return scenario;
}

Scenario DeviceModel() {
    Scenario scenario = Untraced();
    scenario.faults = {{"ORV_SIM_READ_DELAY_MS", std::to_string(kReadDelayMs)},
                       {"ORV_SIM_WRITE_DELAY_MS", std::to_string(kWriteDelayMs)},
                       {"ORV_SIM_ERASE_DELAY_MS", std::to_string(kEraseDelayMs)}};
    return scenario;
}

void Benchmark(const std::string& work, int pairs, ResultsFile& results) {
    const std::string bareFolder = work + "\\bare";
    const Bytes image = *Scenario{}.image;

    // The simulator's own memory shows in this process, which holds no updater.
    const ProcessMemory beforeSimulator = MemoryOf(GetCurrentProcessId());
    RunBare(bareFolder, image, true);
    const ProcessMemory afterSimulator = MemoryOf(GetCurrentProcessId());
    CheckSameCalls(RunUpdater(Scenario{}, false, kRunTimeoutMs), bareFolder);

    std::vector<double> ratios, updaterMs, bareMs, writeUs;
    for (int i = 0; i < pairs; ++i) {
        UpdaterRun updater;
        BareRunTimes bare;
        if (i % 2 == 0) {
            updater = RunUpdater(Untraced(), false, kRunTimeoutMs);
            bare = RunBare(bareFolder, image, false);
        } else {
            bare = RunBare(bareFolder, image, false);
            updater = RunUpdater(Untraced(), false, kRunTimeoutMs);
        }
        // What follows the last Yes: the erase and every page write.
        ratios.push_back(updater.yesToFinishedSeconds / bare.programmingSeconds);
        updaterMs.push_back(updater.yesToFinishedSeconds * 1000);
        bareMs.push_back(bare.programmingSeconds * 1000);
        writeUs.push_back(bare.writesSeconds / bare.pageWrites * 1e6);
        std::printf("pair %d: orvflash.exe %.1f ms, bare %.1f ms\n", i + 1, updaterMs.back(),
                    bareMs.back());
    }
    results.Put("wine_pairs", pairs);
    results.Put("wine_ratio", SpreadOf(ratios));
    results.Put("wine_updater_ms", SpreadOf(updaterMs).median);
    results.Put("wine_bare_ms", SpreadOf(bareMs).median);
    results.Put("wine_sim_write_us", SpreadOf(writeUs).median);

    std::printf("one run with the device model, about %.0f s\n",
                kModelPreparationSeconds + kModelProgrammingSeconds);
    const UpdaterRun model = RunUpdater(DeviceModel(), true, kModelRunTimeoutMs);
    const double modelSeconds = model.clickToQuestionSeconds + model.yesToFinishedSeconds;
    const double sumSeconds = kModelPreparationSeconds + kModelProgrammingSeconds;
    results.Put("model_run_s", modelSeconds);
    results.Put("model_sum_s", sumSeconds);
    results.Put("model_ratio", modelSeconds / sumSeconds);
    results.Put("model_programming_ratio", model.yesToFinishedSeconds / kModelProgrammingSeconds);

    if (model.answerMs.empty()) {
        throw DriverError("the probe got no answer at all");
    }
    const Spread answers = SpreadOf(model.answerMs);
    results.Put("probe_count", double(model.answerMs.size()));
    results.Put("probe_median_ms", answers.median);
    results.Put("probe_max_ms", answers.high);

    results.Put("mem_idle_kib", model.idle.workingSet / kKiB);
    results.Put("mem_idle_peak_kib", model.idle.peakWorkingSet / kKiB);
    results.Put("mem_peak_kib", model.finished.peakWorkingSet / kKiB);
    results.Put("mem_added_kib",
                (double(model.finished.peakWorkingSet) - double(model.idle.workingSet)) / kKiB);
    results.Put("mem_sim_kib",
                (double(afterSimulator.workingSet) - double(beforeSimulator.workingSet)) / kKiB);
}

}  // namespace

int main(int argc, char** argv) {
    std::string session, program, library, work, resultsPath, pairs = "15";
    for (int i = 1; i < argc; ++i) {
        if (!Option(argv[i], "--session", session) && !Option(argv[i], "--program", program) &&
            !Option(argv[i], "--library", library) && !Option(argv[i], "--work", work) &&
            !Option(argv[i], "--results", resultsPath) && !Option(argv[i], "--pairs", pairs)) {
            std::fprintf(stderr, "orvflash_bench: unknown argument %s\n", argv[i]);
            return 64;
        }
    }
    if (!BeginSession(session)) {
        return 65;
    }
    int status = 0;
    if (program.empty() || library.empty() || work.empty() || resultsPath.empty()) {
        std::printf("orvflash_bench: --program, --library, --work and --results are needed\n");
        status = 64;
    } else {
        try {
            std::filesystem::create_directories(work);
            Orvflash::Configure(program, library);
            ResultsFile results(resultsPath);
            Benchmark(work, std::stoi(pairs), results);
        } catch (const std::exception& error) {
            std::printf("orvflash_bench: %s\n", error.what());
            status = 1;
        }
    }
    EndSession(status);
    return status;
}
