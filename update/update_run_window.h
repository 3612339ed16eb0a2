// The window operations that an update run needs, and nothing else of the window. The updater
// window implements them on Win32; the tests implement them with a recording fake.
#ifndef ORVFLASH_UPDATE_UPDATE_RUN_WINDOW_H
#define ORVFLASH_UPDATE_UPDATE_RUN_WINDOW_H

#if defined(__GNUC__)
#define ORV_PRINTF_METHOD __attribute__((format(printf, 2, 3)))
#else
#define ORV_PRINTF_METHOD
#endif

// Answers of AskQuestion, with the values of the Win32 message box.
constexpr int kAnswerYes = 6;
constexpr int kAnswerNo = 7;

// The window's progress bar.
class ProgressBar {
public:
    virtual void SetRange(int low, int high) = 0;
    virtual void SetPos(int position) = 0;
    virtual int GetPos() = 0;

protected:
    ~ProgressBar() = default;
};

// Operating-system handle of the worker thread; null when it could not be started.
using WorkerThreadHandle = void*;

class UpdateRunWindow {
public:
    // Appends one printf-formatted line to the message log; "" gives an empty line.
    virtual void AppendLog(const char* format, ...) ORV_PRINTF_METHOD = 0;
    // Asks a printf-formatted Yes/No question; returns kAnswerYes or kAnswerNo.
    virtual int AskQuestion(const char* format, ...) ORV_PRINTF_METHOD = 0;
    // Shows a warning with an OK button, owned by the window.
    virtual void ShowWarning(const char* text) = 0;
    // Looks up the progress bar; null if the window has none.
    virtual ProgressBar* FindProgressBar() = 0;
    // Starts the worker thread, which calls UpdateRun::UpdateWorker. Null on failure.
    virtual WorkerThreadHandle StartWorker() = 0;
    // On the worker thread, as the worker reports how the run ended; not when it was abandoned.
    virtual void OnRunEnded(bool succeeded) = 0;

protected:
    ~UpdateRunWindow() = default;
};

#endif
