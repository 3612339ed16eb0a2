// One orvflash.exe in a work folder of its own, with a simulated Kavix, driven from outside through
// its windows. Ends the process on destruction, whatever happened.
#ifndef ORVFLASH_TESTS_E2E_ORVFLASH_PROCESS_H
#define ORVFLASH_TESTS_E2E_ORVFLASH_PROCESS_H

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bytes.h"
#include "device_flash.h"
#include "device_trace.h"
#include "kavix_layout.h"
#include "pattern.h"

namespace e2e {

using kavix_test::DeviceCall;
using kavix_test::ReadTrace;

constexpr DWORD kStepTimeoutMs = 10000;
constexpr DWORD kRunTimeoutMs = 120000;

struct Scenario {
    Bytes flash = DeviceFlash();
    // Kavix_V5.dat; none: the folder has no image file.
    std::optional<Bytes> image = Pattern(layout::kImageLimit, 5);
    // ORV_SIM_ variables besides the flash and trace paths.
    std::vector<std::pair<std::string, std::string>> sim;
    // The trace doubles the simulator's file work per call; a benchmark leaves it out.
    bool trace = true;
    // Set: the work folder's name ends in this, as a user's folder may, with characters that the
    // ANSI code page cannot spell; the simulator then keeps its flash beside itself, as a user's
    // copy of it does.
    const wchar_t* userFolder = nullptr;
};

struct MessageBoxWindow {
    HWND window = nullptr;
    HWND owner = nullptr;
    std::string text;
    std::vector<int> buttons;  // the ids of the visible buttons, in window order
    bool icon = false;         // a visible icon shows
};

class Orvflash {
public:
    // Where orvflash.exe and orv_api.dll are copied from, and where work folders go.
    static void Configure(const std::string& program, const std::string& library,
                          const std::string& workRoot);

    // Makes the work folder, starts the program in it and waits for its window.
    explicit Orvflash(const Scenario& scenario);
    // Starts the program again in the same folder, as a user does after an interruption: the
    // flash as the last run left it (or `attached`, another device plugged in), the copies of
    // device data it saved, and `sim` in place of the scenario's variables.
    void StartAgain(const std::vector<std::pair<std::string, std::string>>& sim,
                    const std::optional<Bytes>& attached = std::nullopt);
    // Starts orvflash.exe once more in this one's folder while this one runs, as a user double-
    // clicks it again, and waits up to `timeoutMs` for that second process to end: its exit code,
    // or STILL_ACTIVE if it still ran (it is ended then).
    DWORD StartSecond(DWORD timeoutMs) const;
    // Starts `folder`\orvflash.exe as it is, with this process's environment, for the demo.
    explicit Orvflash(const std::string& folder);
    Orvflash(const Orvflash&) = delete;
    Orvflash& operator=(const Orvflash&) = delete;
    ~Orvflash();

    HWND Window() const { return window; }
    DWORD ProcessId() const { return processId; }

    // The message log, and its lines without their "\r\n".
    std::string Log() const;
    std::vector<std::string> LogLines() const;
    bool HasLogLine(const std::string& line) const;
    // Whether the log's last line shows: every append scrolls it into view.
    bool LogEndInView() const;
    void WaitForLogLine(const std::string& line, DWORD timeoutMs = kStepTimeoutMs) const;

    int BarPos() const;
    std::pair<int, int> BarRange() const;
    // Waits until the bar stands beyond `position`.
    void WaitForBarBeyond(int position, DWORD timeoutMs = kStepTimeoutMs) const;

    void ClickUpdate() const;
    void ClickDone() const;
    // The Escape key, to the control that has the keyboard focus in the window.
    void PressEscape() const;
    // WM_CLOSE, as the title bar's close button and Alt+F4 end up sending.
    void PostClose() const;
    void PostSystemCommand(WPARAM command) const;
    // The answer to WM_QUERYENDSESSION: whether the program lets Windows end the session.
    bool QueryEndSession() const;

    // Returns once the window's thread has handled everything posted to it so far, and whatever
    // box that opened is open.
    void Sync() const;

    MessageBoxWindow WaitForBox(const char* caption, DWORD timeoutMs = kStepTimeoutMs) const;
    bool BoxOpen(const char* caption) const;
    // Clicks `button` (IDYES, IDNO, IDOK) in the box and waits until the box has gone.
    void Answer(const MessageBoxWindow& box, int button) const;

    bool Running() const;
    bool WaitForExit(DWORD timeoutMs) const;
    DWORD ExitCode() const;

    // The copies of device data that the program keeps under the user's local application data.
    // Every scenario starts with none.
    static std::string SavedCopiesFolder();
    static std::vector<std::string> SavedCopies();

    std::string ImagePath() const { return folder + "\\Kavix_V5.dat"; }
    Bytes Flash() const;
    std::vector<DeviceCall> Trace() const;
    const Bytes& InitialFlash() const { return initialFlash; }
    const Bytes& Image() const { return image; }

private:
    void Start(const std::string& program, const std::vector<std::string>& environment);
    void StartInFolder(const std::vector<std::pair<std::string, std::string>>& sim);
    // Ends the process if it still runs and lets go of it.
    void Stop();
    HWND Control(const char* className, int id) const;
    std::string FlashPath() const;

    std::string folder;
    bool removeFolder = false;
    bool flashBesideLibrary = false;
    Bytes initialFlash;
    Bytes image;
    bool trace = true;
    std::vector<std::string> programEnvironment;  // what the program was started with
    HANDLE job = nullptr;
    HANDLE process = nullptr;
    DWORD processId = 0;
    DWORD threadId = 0;
    HWND window = nullptr;
    mutable WPARAM syncToken = 0;
};

}  // namespace e2e

#endif
