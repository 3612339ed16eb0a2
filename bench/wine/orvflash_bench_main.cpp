// Figures 2 to 5, under Wine: the real orvflash.exe driven from outside through its window, with
// the simulated Kavix, against the bare device calls made in this process; then one run with the
// simulator slowed to a model of the real device, during which a probe times the window's answers;
// then the start after an update cut in its write-back, whose preparation reads at the model's
// pace on the window's thread, probed too. The program's memory is read after every run.
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
#include <fstream>
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
#include "scenario_steps.h"
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

    // What the run added to the memory the program held idle.
    double AddedKiB() const {
        return (double(finished.peakWorkingSet) - double(idle.workingSet)) / kKiB;
    }
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

void WriteFreshFlash(const std::string& folder) {
    std::filesystem::create_directories(folder);
    WriteBytes(folder + "\\flash.bin", DeviceFlash());
    std::filesystem::remove(folder + "\\trace.txt");
}

// The bare calls in this process, on the flash in `folder`.
BareRunTimes BareCalls(const std::string& folder, const Bytes& image, bool trace) {
    // As the updater's side gets it: no fault or delay from the caller's environment.
    kavix_test::UseSimulatedKavix(folder + "\\flash.bin", trace ? folder + "\\trace.txt" : "");
    const BareRunTimes times = BareRun(image.data(), kImagePages);
    if (!times.succeeded) {
        throw DriverError("a device call of the bare run failed");
    }
    return times;
}

// On a factory-fresh flash.
BareRunTimes RunBare(const std::string& folder, const Bytes& image, bool trace) {
    WriteFreshFlash(folder);
    return BareCalls(folder, image, trace);
}

// In a process of its own, started for this alone: what the simulator keeps in a process that has
// made a run's calls untraced, as orvflash.exe's measured runs are. Written to memory.txt there.
int MeasureSimulator(const std::string& folder) {
    try {
        const Bytes image = *Scenario{}.image;
        WriteFreshFlash(folder);
        const ProcessMemory before = MemoryOf(GetCurrentProcessId());
        BareCalls(folder, image, false);
        const ProcessMemory after = MemoryOf(GetCurrentProcessId());
        std::ofstream(folder + "\\memory.txt")
            << (double(after.workingSet) - double(before.workingSet)) / kKiB;
        return 0;
    } catch (const std::exception& error) {
        std::printf("orvflash_bench: %s\n", error.what());
        return 1;
    }
}

// MeasureSimulator in a new process of this program.
double SimulatorKiB(const std::string& folder) {
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --simulator-memory=" +
                               std::filesystem::path(folder).wstring();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(self, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        throw DriverError("the simulator's measurement could not be started");
    }
    DWORD exitCode = STILL_ACTIVE;
    if (WaitForSingleObject(started.hProcess, kStepTimeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(started.hProcess, 1);
    }
    GetExitCodeProcess(started.hProcess, &exitCode);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    double kib = 0;
    if (exitCode != 0 || !(std::ifstream(folder + "\\memory.txt") >> kib)) {
        throw DriverError("the simulator's measurement failed");
    }
    return kib;
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

// The start after an update cut in its write-back, with reads at the model's pace: from the click
// on Update to the question, the window's thread reads the data block and, for the copy's record,
// the firmware half. The probe's answers over that time.
std::vector<double> RecoveryStartAnswers() {
    Scenario cut = Untraced();
    cut.faults = {{"ORV_SIM_EXIT_AT_PAGE", "2900"}};
    Orvflash app(cut);
    AnswerYesToUpdate(app);
    if (!app.WaitForExit(kRunTimeoutMs)) {
        throw DriverError("the run to cut did not end");
    }
    // Kept by the start again, which clears only the scenario's own faults.
    kavix_test::SimulatedKavix::SetFault("ORV_SIM_READ_DELAY_MS",
                                         std::to_string(kReadDelayMs).c_str());
    app.StartAgain();
    app.WaitForLogLine(kWelcome[7]);
    app.Sync();
    std::vector<double> answers;
    {
        ResponsivenessProbe probe(app.Window());
        app.ClickUpdate();
        const Box question = app.WaitForBox("Question", 30000);
        answers = probe.Stop();
        if (!Has(app.Log(), kRecovered)) {
            throw DriverError("the start did not take the cut run's copy: " +
                              ::testing::PrintToString(app.Log()));
        }
        app.Answer(question, IDYES);
    }
    WaitForFinished(app, kRunTimeoutMs);
    kavix_test::SimulatedKavix::SetFault("ORV_SIM_READ_DELAY_MS", "");
    app.ClickDone();
    if (!app.WaitForExit(kStepTimeoutMs)) {
        throw DriverError("orvflash.exe did not end after Done");
    }
    return answers;
}

void Benchmark(const std::string& work, int pairs, ResultsFile& results) {
    const std::string bareFolder = work + "\\bare";
    const Bytes image = *Scenario{}.image;

    RunBare(bareFolder, image, true);
    CheckSameCalls(RunUpdater(Scenario{}, false, kRunTimeoutMs), bareFolder);

    std::vector<double> ratios, updaterMs, bareMs, writeUs, addedKiB, idleKiB;
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
        addedKiB.push_back(updater.AddedKiB());
        idleKiB.push_back(updater.idle.workingSet / kKiB);
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

    const std::vector<double> recoveryAnswers = RecoveryStartAnswers();
    if (recoveryAnswers.empty()) {
        throw DriverError("the probe got no answer during the start after the cut");
    }
    const Spread recovery = SpreadOf(recoveryAnswers);
    results.Put("probe_recovery_count", double(recoveryAnswers.size()));
    results.Put("probe_recovery_median_ms", recovery.median);
    results.Put("probe_recovery_max_ms", recovery.high);

    // Of every run but the traced one, which holds the trace besides.
    addedKiB.push_back(model.AddedKiB());
    idleKiB.push_back(model.idle.workingSet / kKiB);
    results.Put("mem_runs", double(addedKiB.size()));
    results.Put("mem_idle_kib", SpreadOf(idleKiB).median);
    results.Put("mem_added_kib", SpreadOf(addedKiB));
    // The simulator's own share, in processes that hold no updater, as often as the updater's runs.
    std::vector<double> simulatorKiB;
    for (std::size_t i = 0; i < addedKiB.size(); ++i) {
        simulatorKiB.push_back(SimulatorKiB(work + "\\simulator" + std::to_string(i)));
    }
    results.Put("mem_sim_kib", SpreadOf(simulatorKiB));
}

}  // namespace

int main(int argc, char** argv) {
    std::string session, program, library, work, resultsPath, pairs = "15", simulator;
    if (argc == 2 && Option(argv[1], "--simulator-memory", simulator)) {
        return MeasureSimulator(simulator);
    }
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
