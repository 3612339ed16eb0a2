// The run on the taskbar button and in the bar's state: what the window tells the button, on its
// own thread, for a whole run and for device errors, and when it asks to be flashed.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "sim_environment.h"
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
        WindowDriver::WaitUntil([this] { return window.load() != nullptr; });
        PostMessageA(window, WM_QUIT, 0, 0);
        thread.join();
    }
    bool InFront() const { return window != nullptr && GetForegroundWindow() == window; }

private:
    std::atomic<HWND> window{nullptr};
    std::thread thread;
};

// Records what the window tells the button, one word a call. When the window should be behind,
// the user turns to another program at the first call, before the run can end.
class RecordingTaskbar : public TaskbarButton {
public:
    explicit RecordingTaskbar(bool inFront) : inFront(inFront) {}

    void SetProgressState(HWND window, Progress state) override {
        const char* const names[] = {"none", "normal", "error"};
        Record(window, names[int(state)]);
    }
    void SetProgressValue(HWND window, int completed, int total) override {
        Record(window, std::to_string(completed) + "/" + std::to_string(total));
    }
    void Flash(HWND window) override { Record(window, "flash"); }

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
            WindowDriver::WaitUntil([this] {
                MSG msg;
                PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
                return other->InFront();
            });
        }
        std::lock_guard<std::mutex> lock(mutex);
        calls += (calls.empty() ? "" : " ") + call;
        // Only the window's own thread may call the shell object, and only for its window.
        if (GetCurrentThreadId() != thread || window != expectedWindow) {
            calls += "(stray)";
        }
    }

    const bool inFront;
    const DWORD thread = GetCurrentThreadId();
    std::unique_ptr<OtherProgram> other;
    std::mutex mutex;
    std::string calls;
};

// Every bar move of a run over a 100-page image, short of the end.
std::string Moves() {
    std::string moves = "normal";
    for (int position = 0; position <= 154; position += 11) {
        moves += " " + std::to_string(position) + "/200";
    }
    return moves;
}

const char kFinished[] = "You may safely close the application.\r\n";
const char kFailed[] = "If you continue to have problems, contact Brevandt.\r\n\r\n";

struct TaskbarCase {
    const char* name;
    const char* fault;  // an ORV_SIM_ variable set to `value`, or null
    const char* value;
    bool inFront;
    std::string calls;
    const char* lastLine;
    int position;
    std::vector<int> barStates;
};

// Test names show the case's name, not its bytes.
void PrintTo(const TaskbarCase& c, std::ostream* out) {
    *out << c.name;
}

class TaskbarTest : public ::testing::TestWithParam<TaskbarCase> {};

TEST_P(TaskbarTest, FollowsTheRunOnTheWindowsThread) {
    const TaskbarCase& c = GetParam();
    WorkFolder folder(100 * 256);
    if (c.fault != nullptr) {
        orv_sim::SetVariable(c.fault, c.value);
    }
    RecordingTaskbar taskbar(c.inFront);
    WindowDriver::Run(
        [&](WindowDriver& driver) {
            taskbar.expectedWindow = driver.Window();
            driver.Click(1000);
            HWND question = driver.WaitForBox("Question");
            ASSERT_NE(question, nullptr);
            driver.Press(question, IDYES);

            EXPECT_TRUE(WindowDriver::WaitUntil([&] { return taskbar.Calls() == c.calls; }))
                << taskbar.Calls();
            ASSERT_TRUE(WindowDriver::WaitUntil([&] { return driver.LogEndsWith(c.lastLine); }));
            EXPECT_EQ(driver.ProgressPos(), c.position);
            EXPECT_EQ(driver.BarStates(), c.barStates);
            driver.Click(IDOK);
        },
        &taskbar);
    // Nothing more came after the run, closing included.
    EXPECT_EQ(taskbar.Calls(), c.calls);
}

// clang-format off
const TaskbarCase kCases[] = {
    {"WholeRunInFront", nullptr, nullptr, true,
     Moves() + " 200/200 none", kFinished, 200, {}},
    {"WholeRunBehind", nullptr, nullptr, false,
     Moves() + " 200/200 none flash", kFinished, 200, {}},
    {"FailedWriteBehind", "ORV_SIM_WRITE_FAIL_PAGE", "50", false,
     Moves() + " error flash", kFailed, 154, {PBST_ERROR}},
    {"FailedEraseInFront", "ORV_SIM_ERASE_FAIL", "1", true,
     Moves() + " error", kFailed, 154, {PBST_ERROR}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Runs, TaskbarTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TaskbarCase>& info) {
                             return info.param.name;
                         });

}  // namespace
