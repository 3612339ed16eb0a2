// One orvflash.exe on a simulated Kavix of its own, driven from outside through its windows as a
// user would. Ends the process on destruction, whatever happened.
#ifndef ORVFLASH_TESTS_E2E_ORVFLASH_PROCESS_H
#define ORVFLASH_TESTS_E2E_ORVFLASH_PROCESS_H

#include <windows.h>

#include <commctrl.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bounded_wait.h"
#include "bytes.h"
#include "kavix_flash.h"
#include "resource.h"
#include "simulated_kavix.h"
#include "window_view.h"

namespace e2e {

using Variables = std::vector<std::pair<std::string, std::string>>;

constexpr DWORD kStepTimeoutMs = 10000;
constexpr DWORD kRunTimeoutMs = 120000;

using namespace kavix_test;
using DriverError = WindowError;

struct Scenario {
    Variables faults;  // ORV_SIM_ variables besides the flash and the trace
    Bytes flash = DeviceFlash();
    std::optional<Bytes> image = Pattern(layout::kImageLimit, 5);  // none: no Kavix_V5.dat
    bool trace = true;
    // Set: the program runs from a folder of this name, which the ANSI code page cannot spell, and
    // the simulator keeps its flash beside itself there, as a user's copy does.
    const wchar_t* userFolder = nullptr;
};

bool Has(const Lines& lines, const std::string& line);

// A click on a button, posted: it may open a modal box, which the caller must not wait for.
void Click(HWND button);

// How an orvflash.exe started with nobody in front of it ended.
struct Unattended {
    DWORD exitCode = STILL_ACTIVE;  // if it still ran at the deadline (it is ended then)
    int windows = 0;                // its top-level windows, hidden ones too, boxes too
};

class Orvflash {
public:
    // Where orvflash.exe and orv_api.dll are copied from.
    static void Configure(const std::string& program, const std::string& library);

    // Sets the scenario up and, if `startWindow`, starts the program and waits for its window.
    explicit Orvflash(const Scenario& scenario, bool startWindow = true);
    ~Orvflash() { Stop(); }
    // Starts the program again, as a user does after an interruption: on the flash as the last run
    // left it (or `attached`, another Kavix plugged in), with the copies it saved and no faults.
    void StartAgain(const std::optional<Bytes>& attached = std::nullopt);
    // Starts a second orvflash.exe beside this running one, as a user double-clicks it again: its
    // exit code, or STILL_ACTIVE if it still ran after `timeoutMs` (it is ended then).
    DWORD StartSecond(DWORD timeoutMs) const;
    // Starts orvflash.exe with `arguments` from its folder, beside any running one, and waits for
    // its end, watching for any window it makes. Its standard output goes to output.txt there.
    // `unseen`: in a window station of its own, which nobody can see, as a service's start is.
    Unattended RunUnattended(const std::wstring& arguments, DWORD timeoutMs = kRunTimeoutMs,
                             bool unseen = false) const;

    HWND Window() const { return window; }
    DWORD ProcessId() const { return processId; }

    // The log shares id 1 with the Done button, so controls are found by class and id.
    HWND Control(const char* className, int id) const;
    Lines Log() const { return LogLines(Control("Edit", IDOK)); }
    void WaitForLogLine(const std::string& line, DWORD timeoutMs = kStepTimeoutMs) const;
    int BarPos() const { return int(Send(Control(PROGRESS_CLASSA, IDC_PROGRESS), PBM_GETPOS)); }
    void WaitForBarBeyond(int position, DWORD timeoutMs = kStepTimeoutMs) const;

    void ClickUpdate() const { Click(Control("Button", IDC_UPDATE)); }
    void ClickDone() const { Click(Control("Button", IDOK)); }
    // To the control that has the keyboard focus.
    void PressEscape() const;
    void Post(UINT message, WPARAM wParam = 0) const;
    // Returns once the window's thread has handled everything posted to it so far, and whatever
    // box that opened is open.
    void Sync() const;

    Box WaitForBox(const char* caption, DWORD timeoutMs = kStepTimeoutMs) const;
    bool BoxOpen(const char* caption) const { return FindBox(processId, caption) != nullptr; }
    // Clicks IDYES, IDNO or IDOK and waits until the box has gone.
    void Answer(const Box& box, int button) const;

    bool Running() const { return WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }
    bool WaitForExit(DWORD timeoutMs) const {
        return WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
    }
    DWORD ExitCode() const;

    // The saved copies of device data, in the computer's folder; each scenario starts with none,
    // and with neither that folder nor the account's folder of earlier versions.
    static std::vector<std::filesystem::path> SavedCopies();
    static std::filesystem::path CopyFolder();        // %ProgramData%\orvflash
    static std::filesystem::path LegacyCopyFolder();  // %LOCALAPPDATA%\orvflash
    // The log of every run on the computer, %ProgramData%\orvflash\orvflash.log.
    static std::filesystem::path ComputerLog();

    // The program's folder, its current directory.
    const std::filesystem::path& Folder() const { return folder; }
    std::string ImagePath() const;
    Bytes Flash() const { return ReadBytes(flashPath); }
    std::vector<DeviceCall> Trace() const { return kavix.Calls(); }
    const Bytes& InitialFlash() const { return initialFlash; }
    const Bytes& Image() const { return image; }

private:
    void MakeJob();
    void Start();
    // With `output`, an inheritable handle, as its standard output and error.
    HANDLE StartInJob(const std::wstring& arguments = L"", HANDLE output = nullptr,
                      bool unseen = false) const;
    void Stop();

    const kavix_test::SimulatedKavix kavix;
    const Bytes initialFlash;
    const Bytes image;
    const Variables faults;
    std::filesystem::path folder;  // the program's
    std::string flashPath;
    HANDLE job = nullptr;
    HANDLE process = nullptr;
    DWORD processId = 0;
    DWORD threadId = 0;
    HWND window = nullptr;
    mutable WPARAM syncToken = 0;
};

}  // namespace e2e

#endif
