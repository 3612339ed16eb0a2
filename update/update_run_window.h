// The window operations that an update run needs, and nothing else of the window. The updater
// window implements them on Win32; the tests implement them with a recording fake. The run's texts
// are formatted here, once; the window is handed finished text.
#ifndef ORVFLASH_UPDATE_UPDATE_RUN_WINDOW_H
#define ORVFLASH_UPDATE_UPDATE_RUN_WINDOW_H

#if defined(__GNUC__)
#define ORV_PRINTF_METHOD __attribute__((format(printf, 2, 3)))
#define ORV_PRINTF_METHOD_AFTER_ONE __attribute__((format(printf, 3, 4)))
#else
#define ORV_PRINTF_METHOD
#define ORV_PRINTF_METHOD_AFTER_ONE
#endif

// Answers of AskQuestion, with the values of the Win32 message box.
constexpr int kAnswerYes = 6;
constexpr int kAnswerNo = 7;

// What a question asks, so that a window without a person (an unattended run) can answer it, and
// so that the label question, which may write one Kavix's data into another, defaults to No.
enum class Question {
    upToDate,      // the firmware is up to date: go on all the same?
    serialNumber,  // is this the serial number of the Kavix to update?
    label,         // does the label on the Kavix name the saved copy's serial number?
};

// The window's progress bar.
class ProgressBar {
public:
    virtual void SetRange(int low, int high) = 0;
    virtual void SetPos(int position) = 0;
    virtual int GetPos() = 0;

protected:
    ~ProgressBar() = default;
};

class UpdateRunWindow {
public:
    // Appends one printf-formatted line to the message log; "" gives an empty line, null nothing.
    void AppendLog(const char* format, ...) ORV_PRINTF_METHOD;
    // Asks a printf-formatted Yes/No question: kAnswerYes or kAnswerNo, or 0 for a null format or a
    // box that could not be shown.
    int AskQuestion(Question kind, const char* format, ...) ORV_PRINTF_METHOD_AFTER_ONE;

    // Shows a warning with an OK button, owned by the window.
    virtual void ShowWarning(const char* text) = 0;
    // Looks up the progress bar; null if the window has none.
    virtual ProgressBar* FindProgressBar() = 0;
    // On the worker thread, once its last device call is made, before it logs how the run ended;
    // not when the run was abandoned.
    virtual void OnRunEnded(bool succeeded) = 0;
    // On the user-interface thread, between the preparation's device reads: the window answers its
    // messages meanwhile, as while a question is open.
    virtual void KeepAnswering() {}

protected:
    ~UpdateRunWindow() = default;

    // The finished texts of AppendLog and AskQuestion.
    virtual void AppendLine(const char* text) = 0;
    virtual int Ask(const char* text, Question kind) = 0;
};

#endif
