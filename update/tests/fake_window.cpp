#include "fake_window.h"

FakeWindow::~FakeWindow() {
    JoinWorker();
}

void FakeWindow::AppendLine(const char* text) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        log.emplace_back(text);
    }
    if (onLog) {
        onLog(text);
    }
}

int FakeWindow::Ask(const char* text) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        questions.emplace_back(text);
    }
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

void FakeWindow::ShowWarning(const char* text) {
    std::lock_guard<std::mutex> lock(mutex);
    warnings.emplace_back(text);
}

void FakeWindow::ClickUpdate() {
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

void FakeWindow::OnRunEnded(bool succeeded) {
    std::lock_guard<std::mutex> lock(mutex);
    runEnds.push_back(succeeded);
}

void FakeWindow::SetRange(int low, int high) {
    rangeLow = low;
    rangeHigh = high;
}

void FakeWindow::SetPos(int newPosition) {
    int writes = writesSoFar ? writesSoFar() : -1;
    std::lock_guard<std::mutex> lock(mutex);
    position = newPosition;
    moves.push_back({newPosition, writes});
}

int FakeWindow::GetPos() {
    std::lock_guard<std::mutex> lock(mutex);
    return position;
}

void FakeWindow::JoinWorker() {
    if (worker.joinable()) {
        worker.join();
    }
}

std::vector<std::string> FakeWindow::Log() {
    std::lock_guard<std::mutex> lock(mutex);
    return log;
}

std::vector<std::string> FakeWindow::Questions() {
    std::lock_guard<std::mutex> lock(mutex);
    return questions;
}

std::vector<std::string> FakeWindow::Warnings() {
    std::lock_guard<std::mutex> lock(mutex);
    return warnings;
}

std::vector<FakeWindow::ProgressMove> FakeWindow::Moves() {
    std::lock_guard<std::mutex> lock(mutex);
    return moves;
}

std::vector<bool> FakeWindow::RunEnds() {
    std::lock_guard<std::mutex> lock(mutex);
    return runEnds;
}
