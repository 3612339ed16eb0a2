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

    ~FakeWindow() { JoinWorker(); }

    // The Update button as the window has it: the preparation, then the worker on a thread.
    void ClickUpdate() {
        if (!run->Prepare()) {
            return;
        }
        if (failWorkerStart) {
            run->NotStarted();
            return;
        }
        ++workerStarts;
        worker = std::thread([this] { run->Program(); });
    }
    void JoinWorker() {
        if (worker.joinable()) {
            worker.join();
        }
    }

    void ShowWarning(const char* text) override { Add(warnings, std::string(text)); }
    ProgressBar* FindProgressBar() override { return this; }
    void OnRunEnded(bool succeeded) override { Add(runEnds, succeeded); }
    void KeepAnswering() override {
        if (onAnswering) {
            onAnswering();
        }
    }
    void SetRange(int low, int high) override {
        rangeLow = low;
        rangeHigh = high;
    }
    void SetPos(int newPosition) override {
        const int writes = writesSoFar ? writesSoFar() : -1;
        std::lock_guard<std::mutex> lock(mutex);
        position = newPosition;
        moves.push_back({newPosition, writes});
    }
    int GetPos() override { return Copy(position); }

    std::vector<std::string> Log() { return Copy(log); }
    std::vector<std::string> Questions() { return Copy(questions); }
    std::vector<Question> QuestionKinds() { return Copy(kinds); }
    std::vector<std::string> Warnings() { return Copy(warnings); }
    std::vector<ProgressMove> Moves() { return Copy(moves); }
    std::vector<bool> RunEnds() { return Copy(runEnds); }

    UpdateRun* run = nullptr;
    // Answers in order; Yes when the script has run out.
    std::deque<int> answers;
    bool failWorkerStart = false;
    // Called with each question before it is answered.
    std::function<void(const std::string&)> onQuestion;
    // Called after each log line, on the thread that logged it.
    std::function<void(const std::string&)> onLog;
    // Called where the window would answer its messages during the preparation.
    std::function<void()> onAnswering;
    // Tells how many page writes the device has seen; used to place the progress moves.
    std::function<int()> writesSoFar;
    int rangeLow = -1, rangeHigh = -1;
    int workerStarts = 0;

private:
    void AppendLine(const char* text) override {
        Add(log, std::string(text));
        if (onLog) {
            onLog(text);
        }
    }
    int Ask(const char* text, Question kind) override {
        Add(questions, std::string(text));
        Add(kinds, kind);
        if (onQuestion) {
            onQuestion(text);
        }
        int answer = kAnswerYes;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        return answer;
    }

    // The worker and the clicking thread both reach these.
    template <class T>
    void Add(std::vector<T>& to, T value) {
        std::lock_guard<std::mutex> lock(mutex);
        to.push_back(std::move(value));
    }
    template <class T>
    T Copy(const T& member) {
        std::lock_guard<std::mutex> lock(mutex);
        return member;
    }

    std::mutex mutex;
    std::vector<std::string> log, questions, warnings;
    std::vector<ProgressMove> moves;
    std::vector<bool> runEnds;
    std::vector<Question> kinds;
    int position = 0;
    std::thread worker;
};

#endif
