// The run on the taskbar button, in the bar's state and in the session: what the window tells the
// button and the session guard, and on which thread, for a whole run and for device errors.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "computer_folder.h"
#include "simulated_kavix.h"
#include "window_driver.h"

namespace {

// Another program's window, on a thread of its own, brought to the front.
class OtherProgram {
public:
    OtherProgram()
        : thread([this] {
              HWND own =
                  CreateWindowExA(0, "Static", "Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
              SetForegroundWindow(own);
              window = own;
              MSG msg;
              while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
                  DispatchMessageA(&msg);
              }
              DestroyWindow(own);
          }) {}
    ~OtherProgram() {
        WaitUntil([this] { return window.load() != nullptr; }, kWindowWaitMs);
        PostMessageA(window, WM_QUIT, 0, 0);
        thread.join();
    }
    bool InFront() const { return window != nullptr && GetForegroundWindow() == window; }

private:
    std::atomic<HWND> window{nullptr};
    std::thread thread;
};

// Records what the window tells the button and the session guard, one word a call. When the
// window should be behind, the user turns to another program at the first call, before the run can
// end.
class RecordingShell : public TaskbarButton, public SessionGuard {
public:
    explicit RecordingShell(bool inFront) : inFront(inFront) {}

    void SetProgressState(HWND window, Progress state) override {
        const char* const names[] = {"none", "normal", "error"};
        Record(window, names[int(state)]);
    }
    void SetProgressValue(HWND window, int completed, int total) override {
        Record(window, std::to_string(completed) + "/" + std::to_string(total));
    }
    void Flash(HWND window) override { Record(window, "flash"); }
    void ButtonCreated() override {}

    void BlockShutdown(HWND window) override { Record(window, "block"); }
    void AllowShutdown(HWND window) override { Record(window, "unblock"); }
    // The execution state belongs to the thread that sets it: both on the worker's.
    void KeepAwake() override {
        worker = GetCurrentThreadId();
        RecordOnWorker("awake");
    }
    void AllowSleep() override { RecordOnWorker("sleep"); }

    std::string Calls() {
        std::lock_guard<std::mutex> lock(mutex);
        return calls;
    }

    HWND expectedWindow = nullptr;

private:
    void Record(HWND window, const std::string& call) {
        if (!inFront && other == nullptr) {
            other = std::make_unique<OtherProgram>();
            // The activation sends this thread messages: serve them meanwhile.
            WaitUntil(
                [this] {
                    MSG msg;
                    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
                    return other->InFront();
                },
                kWindowWaitMs);
        }
        // Only the window's own thread may call the shell, and only for its window.
        Append(call, GetCurrentThreadId() == thread && window == expectedWindow);
    }
    void RecordOnWorker(const char* call) {
        Append(call, GetCurrentThreadId() == worker && worker != thread);
    }
    void Append(const std::string& call, bool rightThread) {
        std::lock_guard<std::mutex> lock(mutex);
        calls += (calls.empty() ? "" : " ") + call + (rightThread ? "" : "(stray)");
    }

    const bool inFront;
    const DWORD thread = GetCurrentThreadId();
    DWORD worker = 0;
    std::unique_ptr<OtherProgram> other;
    std::mutex mutex;
    std::string calls;
};

// The shutdown block and the worker's wake, then every bar move of a run over a 100-page image,
// short of the end.
std::string Moves() {
    std::string moves = "block awake normal";
    for (int position = 0; position <= 154; position += 11) {
        moves += " " + std::to_string(position) + "/200";
    }
    return moves;
}

// With the run's end the window lifts the shutdown block, and the worker lets the system sleep.
const char kReleased[] = " unblock sleep";

struct TaskbarCase {
    const char* name;
    const char* fault;  // an ORV_SIM_ variable set to `value`, or null
    const char* value;
    bool inFront;
    std::string calls;
    const Lines& lastLines;
    int position;
    std::vector<int> barStates;
    // Test names show the case's name, not its bytes.
    friend void PrintTo(const TaskbarCase& c, std::ostream* out) { *out << c.name; }
};

class TaskbarTest : public ::testing::TestWithParam<TaskbarCase> {};

TEST_P(TaskbarTest, FollowsTheRunOnTheWindowsThread) {
    const TaskbarCase& c = GetParam();
    // A copy that an earlier row's failure kept would be taken by this row's run.
    std::filesystem::remove_all(ComputerFolderPath());
    kavix_test::SimulatedKavix kavix;
    kavix.WriteImage(Pattern(100 * 256, 5));
    if (c.fault != nullptr) {
        kavix_test::SetVariable(c.fault, c.value);
    }
    RecordingShell shell(c.inFront);
    WindowDriver::Run(
        [&](WindowDriver& driver) {
            shell.expectedWindow = driver.Window();
            driver.Click(IDC_UPDATE);
            const Box question = driver.WaitForBox("Question");
            ASSERT_NE(question.window, nullptr);
            driver.Press(question.window, IDYES);

            EXPECT_TRUE(WaitUntil([&] { return shell.Calls() == c.calls; }, kWindowWaitMs))
                << shell.Calls();
            ASSERT_TRUE(WaitUntil([&] { return driver.LogEndsWith(c.lastLines); }, kWindowWaitMs));
            EXPECT_TRUE(driver.LogEndInView());
            EXPECT_EQ(driver.ProgressPos(), c.position);
            EXPECT_EQ(driver.BarStates(), c.barStates);
            driver.Click(IDOK);
        },
        &shell, &shell);
    // Nothing more came after the run, closing included.
    EXPECT_EQ(shell.Calls(), c.calls);
}

// clang-format off
const TaskbarCase kCases[] = {
    {"WholeRunInFront", nullptr, nullptr, true,
     Moves() + " 200/200 none" + kReleased, kFinished, 200, {}},
    {"WholeRunBehind", nullptr, nullptr, false,
     Moves() + " 200/200 none flash" + kReleased, kFinished, 200, {}},
    {"FailedWriteBehind", "ORV_SIM_WRITE_FAIL_PAGE", "50", false,
     Moves() + " error flash" + kReleased, kWriteError, 154, {PBST_ERROR}},
    // Nothing is written over a failed erase: the bar never moves.
    {"FailedEraseInFront", "ORV_SIM_ERASE_FAIL", "1", true,
     std::string("block awake normal 0/200 error") + kReleased, kEraseNothingChanged, 0,
     {PBST_ERROR}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Runs, TaskbarTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TaskbarCase>& info) {
                             return info.param.name;
                         });

}  // namespace
