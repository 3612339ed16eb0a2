// A window for the update run that records what the run shows and answers its questions from a
// script. The worker runs on a real thread, as it does in the program.
#ifndef ORVFLASH_UPDATE_TESTS_FAKE_WINDOW_H
#define ORVFLASH_UPDATE_TESTS_FAKE_WINDOW_H

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "update_run.h"

class FakeWindow : public UpdateRunWindow, public ProgressBar {
public:
    struct ProgressMove {
        int position;
        int writesBefore;  // page writes the device had seen when the bar was set
    };

    ~FakeWindow();

    // The Update button as the window has it: the preparation, then the worker on a thread.
    void ClickUpdate();

    void ShowWarning(const char* text) override;
    ProgressBar* FindProgressBar() override { return this; }
    void OnRunEnded(bool succeeded) override;

    void SetRange(int low, int high) override;
    void SetPos(int position) override;
    int GetPos() override;

    // Waits for the worker, if one was started.
    void JoinWorker();

    std::vector<std::string> Log();
    std::vector<std::string> Questions();
    std::vector<std::string> Warnings();
    std::vector<ProgressMove> Moves();
    // What each OnRunEnded said, in order.
    std::vector<bool> RunEnds();

    UpdateRun* run = nullptr;
    // Answers in order; Yes when the script has run out.
    std::deque<int> answers;
    bool failWorkerStart = false;
    // Called with each question before it is answered.
    std::function<void(const std::string&)> onQuestion;
    // Called after each log line, on the thread that logged it.
    std::function<void(const std::string&)> onLog;
    // Tells how many page writes the device has seen; used to place the progress moves.
    std::function<int()> writesSoFar;
    int rangeLow = -1;
    int rangeHigh = -1;
    int workerStarts = 0;

private:
    void AppendLine(const char* text) override;
    int Ask(const char* text) override;

    std::mutex mutex;
    std::vector<std::string> log;
    std::vector<std::string> questions;
    std::vector<std::string> warnings;
    std::vector<ProgressMove> moves;
    std::vector<bool> runEnds;
    int position = 0;
    std::thread worker;
};

#endif
