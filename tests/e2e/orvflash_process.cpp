#include "orvflash_process.h"

#include <commctrl.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "desktop.h"
#include "expected_text.h"
#include "log_view.h"
#include "sim_environment.h"

namespace e2e {

namespace {

const char kWindowCaption[] = "Quorlan ORV Firmware Updater";
const char kDialogClass[] = "#32770";
constexpr int kUpdateButton = 1000;
constexpr int kProgressBar = 1001;
// Wine and Windows both give a message box's text control this id.
constexpr int kMessageBoxText = 0xFFFF;

std::string programPath;
std::string libraryPath;
std::string workRootPath;

void WriteFile(const std::string& path, const Bytes& bytes) {
    if (!WriteBytes(path, bytes)) {
        throw DriverError("could not write " + path);
    }
}

std::string TestFolderName() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = test ? std::string(test->test_suite_name()) + "." + test->name() : "run";
    for (char& c : name) {
        if (c == '/' || c == '\\' || c == ':') {
            c = '-';
        }
    }
    return name;
}

std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], int(wide.size()));
    wide.resize(length > 0 ? std::size_t(length) - 1 : 0);
    return wide;
}

// The driver works in the ANSI code page: it reaches a folder that it cannot spell by its short
// name.
std::string ShortPath(const std::wstring& path) {
    wchar_t shortPath[MAX_PATH];
    char narrow[MAX_PATH];
    BOOL lossy = FALSE;
    const DWORD length = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH ||
        !WideCharToMultiByte(CP_ACP, 0, shortPath, -1, narrow, MAX_PATH, nullptr, &lossy) ||
        lossy) {
        throw DriverError("no short name in the ANSI code page for a work folder");
    }
    return narrow;
}

// The long name of a path the driver reaches by its short one.
std::wstring LongPath(const std::string& path) {
    wchar_t longPath[MAX_PATH];
    const DWORD length = GetLongPathNameW(Wide(path).c_str(), longPath, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(longPath, length) : Wide(path);
}

// Starts `program` in `folder` with `environment` (none: this process's) inside `job`, so that
// closing the job ends it; null if it could not.
HANDLE StartInJob(HANDLE job, const std::string& program,
                  const std::vector<std::string>& environment, const std::string& folder,
                  DWORD& processId) {
    std::string block;
    for (const std::string& entry : environment) {
        block += entry;
        block += '\0';
    }
    block += '\0';

    // Started by the long names, as a user starts it.
    const std::wstring longProgram = LongPath(program);
    const std::wstring longFolder = LongPath(folder);
    std::wstring commandLine = L"\"" + longProgram + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(longProgram.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED, environment.empty() ? nullptr : &block[0],
                        longFolder.c_str(), &startup, &info)) {
        return nullptr;
    }
    if (!AssignProcessToJobObject(job, info.hProcess)) {
        const DWORD error = GetLastError();
        TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        SetLastError(error);
        return nullptr;
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    processId = info.dwProcessId;
    return info.hProcess;
}

}  // namespace

void Orvflash::Configure(const std::string& program, const std::string& library,
                         const std::string& workRoot) {
    programPath = program;
    libraryPath = library;
    workRootPath = workRoot;
}

Orvflash::Orvflash(const Scenario& scenario) : initialFlash(scenario.flash), trace(scenario.trace) {
    namespace fs = std::filesystem;
    folder = workRootPath + "\\" + TestFolderName();
    std::error_code ignored;
    if (scenario.userFolder != nullptr) {
        const fs::path named = Wide(folder) + L"-" + scenario.userFolder;
        fs::remove_all(named, ignored);
        fs::create_directories(named);
        folder = ShortPath(named.wstring());
        flashBesideLibrary = true;
    } else {
        fs::remove_all(folder, ignored);
        fs::create_directories(folder);
    }
    removeFolder = true;
    // A copy left by an earlier scenario would be taken for this device's.
    for (const std::string& copy : SavedCopies()) {
        DeleteFileA((SavedCopiesFolder() + "\\" + copy).c_str());
    }

    if (!CopyFileA(programPath.c_str(), (folder + "\\orvflash.exe").c_str(), FALSE) ||
        !CopyFileA(libraryPath.c_str(), (folder + "\\orv_api.dll").c_str(), FALSE)) {
        throw DriverError("could not copy the program into " + folder);
    }
    if (scenario.image) {
        image = *scenario.image;
        WriteFile(ImagePath(), image);
    }
    WriteFile(FlashPath(), initialFlash);
    StartInFolder(scenario.sim);
}

void Orvflash::StartAgain(const std::vector<std::pair<std::string, std::string>>& sim,
                          const std::optional<Bytes>& attached) {
    Stop();
    if (attached) {
        WriteFile(FlashPath(), *attached);
    }
    StartInFolder(sim);
}

void Orvflash::StartInFolder(const std::vector<std::pair<std::string, std::string>>& sim) {
    // Each scenario sets its own ORV_SIM_ variables.
    std::vector<std::string> environment = kavix_test::EnvironmentWithoutSim();
    if (!flashBesideLibrary) {
        environment.push_back("ORV_SIM_FLASH=" + FlashPath());
    }
    if (trace) {
        environment.push_back("ORV_SIM_TRACE=" + folder + "\\trace.txt");
    }
    for (const auto& variable : sim) {
        environment.push_back(variable.first + "=" + variable.second);
    }
    Start(folder + "\\orvflash.exe", environment);
}

Orvflash::Orvflash(const std::string& demoFolder) : folder(demoFolder) {
    Start(folder + "\\orvflash.exe", {});
}

void Orvflash::Start(const std::string& program, const std::vector<std::string>& environment) {
    // Closing the job ends the program, so no failure of the driver can leave it running.
    job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job == nullptr ||
        !SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        Stop();
        throw DriverError("could not make a job object");
    }

    process = StartInJob(job, program, environment, folder, processId);
    if (process == nullptr) {
        const DWORD error = GetLastError();
        Stop();
        throw DriverError("could not start " + program + ", error " + std::to_string(error));
    }
    programEnvironment = environment;

    WaitUntil(
        [&] {
            window = FindTopWindow(processId, kDialogClass, kWindowCaption);
            return window != nullptr || !Running();
        },
        30000);
    if (window == nullptr) {
        DWORD code = 0;
        GetExitCodeProcess(process, &code);
        const std::string state = Running() ? "running" : "ended with " + std::to_string(code);
        // The destructor does not run for a constructor that throws.
        Stop();
        throw DriverError("no window \"" + std::string(kWindowCaption) + "\" (process " + state +
                          ")");
    }
    threadId = GetWindowThreadProcessId(window, nullptr);
}

DWORD Orvflash::StartSecond(DWORD timeoutMs) const {
    DWORD secondId = 0;
    const std::string program = folder + "\\orvflash.exe";
    HANDLE second = StartInJob(job, program, programEnvironment, folder, secondId);
    if (second == nullptr) {
        throw DriverError("could not start " + program + " a second time");
    }
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(second, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(second, &code);
    } else {
        TerminateProcess(second, 1);
        WaitForSingleObject(second, 5000);
    }
    CloseHandle(second);
    return code;
}

void Orvflash::Stop() {
    if (process != nullptr) {
        if (Running()) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
        }
        CloseHandle(process);
        process = nullptr;
    }
    if (job != nullptr) {
        CloseHandle(job);
        job = nullptr;
    }
}

Orvflash::~Orvflash() {
    Stop();
    // A failed scenario's folder stays, for a look at its flash and trace.
    if (removeFolder && !::testing::Test::HasFailure()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
}

HWND Orvflash::Control(const char* className, int id) const {
    HWND control = nullptr;
    while ((control = FindWindowExA(window, control, className, nullptr)) != nullptr) {
        if (GetDlgCtrlID(control) == id) {
            return control;
        }
    }
    throw DriverError(std::string("no ") + className + " control " + std::to_string(id));
}

std::string Orvflash::Log() const {
    // The log shares id 1 with the Done button, so it is found by class.
    return WindowText(Control("Edit", IDOK));
}

std::vector<std::string> Orvflash::LogLines() const {
    return LinesOf(Log());
}

bool Orvflash::HasLogLine(const std::string& line) const {
    for (const std::string& logged : LogLines()) {
        if (logged == line) {
            return true;
        }
    }
    return false;
}

bool Orvflash::LogEndInView() const {
    return LastLineInView(Control("Edit", IDOK));
}

void Orvflash::WaitForLogLine(const std::string& line, DWORD timeoutMs) const {
    if (!WaitUntil([&] { return HasLogLine(line); }, timeoutMs)) {
        throw DriverError("the log has no line \"" + line + "\"; it holds:\n" + Log());
    }
}

int Orvflash::BarPos() const {
    return int(SendWithTimeout(Control(PROGRESS_CLASSA, kProgressBar), PBM_GETPOS, 0, 0));
}

std::pair<int, int> Orvflash::BarRange() const {
    HWND bar = Control(PROGRESS_CLASSA, kProgressBar);
    return {int(SendWithTimeout(bar, PBM_GETRANGE, TRUE, 0)),
            int(SendWithTimeout(bar, PBM_GETRANGE, FALSE, 0))};
}

void Orvflash::WaitForBarBeyond(int position, DWORD timeoutMs) const {
    if (!WaitUntil([&] { return BarPos() > position; }, timeoutMs)) {
        throw DriverError("the bar stays at " + std::to_string(BarPos()) + ", not beyond " +
                          std::to_string(position));
    }
}

void Orvflash::ClickUpdate() const {
    Click(Control("Button", kUpdateButton));
}

void Orvflash::ClickDone() const {
    Click(Control("Button", IDOK));
}

void Orvflash::PressEscape() const {
    HWND target = window;
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    if (GetGUIThreadInfo(threadId, &gui) && gui.hwndFocus != nullptr &&
        (gui.hwndFocus == window || IsChild(window, gui.hwndFocus))) {
        target = gui.hwndFocus;
    }
    // Repeat count 1, scan code 1; the key-up adds the previous-state and transition bits.
    if (!PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001) ||
        !PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001)) {
        throw DriverError("could not press Escape");
    }
}

void Orvflash::PostClose() const {
    if (!PostMessageA(window, WM_CLOSE, 0, 0)) {
        throw DriverError("could not post WM_CLOSE");
    }
}

void Orvflash::PostSystemCommand(WPARAM command) const {
    if (!PostMessageA(window, WM_SYSCOMMAND, command, 0)) {
        throw DriverError("could not post WM_SYSCOMMAND");
    }
}

bool Orvflash::QueryEndSession() const {
    return SendWithTimeout(window, WM_QUERYENDSESSION, 0, 0) != FALSE;
}

void Orvflash::Sync() const {
    // A sent message is handled at the thread's next wait for messages, by which time whatever the
    // last handler posted is queued; a marker posted after it is handled after all of that. The
    // bar's step is the marker: the program never uses it.
    SendWithTimeout(window, WM_NULL, 0, 0);
    HWND bar = Control(PROGRESS_CLASSA, kProgressBar);
    const WPARAM token = 2 + (++syncToken % 50);
    if (!PostMessageA(bar, PBM_SETSTEP, token, 0) ||
        !WaitUntil([&] { return SendWithTimeout(bar, PBM_GETSTEP, 0, 0) == LRESULT(token); },
                   kStepTimeoutMs)) {
        throw DriverError("the window's thread does not get round to its messages");
    }
}

MessageBoxWindow Orvflash::WaitForBox(const char* caption, DWORD timeoutMs) const {
    MessageBoxWindow box;
    if (!WaitUntil(
            [&] {
                box.window = FindTopWindow(processId, kDialogClass, caption);
                return box.window != nullptr;
            },
            timeoutMs)) {
        throw DriverError(std::string("no box \"") + caption + "\" appeared; the log holds:\n" +
                          Log());
    }
    box.owner = GetWindow(box.window, GW_OWNER);
    // The box may still be filling in its text just after it became visible.
    WaitUntil(
        [&] {
            HWND text = GetDlgItem(box.window, kMessageBoxText);
            box.text = text ? WindowText(text) : "";
            return !box.text.empty();
        },
        timeoutMs);
    for (HWND child = GetWindow(box.window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) {
            continue;
        }
        char className[16] = {};
        GetClassNameA(child, className, sizeof className);
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        if (_stricmp(className, "Button") == 0) {
            box.buttons.push_back(GetDlgCtrlID(child));
        } else if (_stricmp(className, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
            box.icon = box.icon || SendWithTimeout(child, STM_GETICON, 0, 0) != 0;
        }
    }
    return box;
}

bool Orvflash::BoxOpen(const char* caption) const {
    return FindTopWindow(processId, kDialogClass, caption) != nullptr;
}

void Orvflash::Answer(const MessageBoxWindow& box, int button) const {
    Click(GetDlgItem(box.window, button));
    if (!WaitUntil([&] { return !IsWindow(box.window); }, kStepTimeoutMs)) {
        throw DriverError("the box \"" + box.text + "\" stays open after the answer");
    }
}

bool Orvflash::Running() const {
    return WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

bool Orvflash::WaitForExit(DWORD timeoutMs) const {
    return WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
}

DWORD Orvflash::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    return code;
}

std::string Orvflash::SavedCopiesFolder() {
    PWSTR path = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &path))) {
        for (const wchar_t* c = path; *c != 0; ++c) {
            folder += char(*c);  // the test machine's profile path is ASCII
        }
    }
    CoTaskMemFree(path);
    return folder + "\\orvflash";
}

std::vector<std::string> Orvflash::SavedCopies() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((SavedCopiesFolder() + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                names.emplace_back(found.cFileName);
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return names;
}

std::string Orvflash::FlashPath() const {
    return folder + (flashBesideLibrary ? "\\kavix_flash.bin" : "\\flash.bin");
}

Bytes Orvflash::Flash() const {
    return ReadBytes(FlashPath());
}

std::vector<DeviceCall> Orvflash::Trace() const {
    return ReadTrace(folder + "\\trace.txt");
}

}  // namespace e2e
