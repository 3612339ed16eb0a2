#include "orvflash_process.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <set>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace e2e {

namespace {

fs::path programPath;
fs::path libraryPath;

// The byte files are read and written by ANSI names: a folder that the code page cannot spell is
// reached by its short name.
std::string AnsiPath(const fs::path& path) {
    wchar_t shortPath[MAX_PATH];
    char narrow[MAX_PATH];
    BOOL lossy = FALSE;
    const DWORD length = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH ||
        !WideCharToMultiByte(CP_ACP, 0, shortPath, -1, narrow, MAX_PATH, nullptr, &lossy) ||
        lossy) {
        throw DriverError("no name in the ANSI code page for a file of the scenario");
    }
    return narrow;
}

fs::path KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    if (FAILED(SHGetKnownFolderPath(id, 0, nullptr, &path))) {
        CoTaskMemFree(path);
        throw DriverError("no known folder for the saved copies");
    }
    const fs::path folder(path);
    CoTaskMemFree(path);
    return folder;
}

// The top-level windows seen of one process.
struct Watch {
    DWORD processId;
    std::set<HWND> seen;
};

BOOL CALLBACK NoteWindowOf(HWND window, LPARAM context) {
    Watch& watch = *reinterpret_cast<Watch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == watch.processId) {
        watch.seen.insert(window);
    }
    return TRUE;
}

// A window station made without WSF_VISIBLE, as every one but the interactive one is, and its
// desktop, made once for the driver's life.
const wchar_t kUnseenDesktop[] = L"orvflash-unseen\\Default";

HDESK UnseenDesktop() {
    static const HDESK desktop = [] {
        HWINSTA own = GetProcessWindowStation();
        HWINSTA station = CreateWindowStationW(L"orvflash-unseen", 0, WINSTA_ALL_ACCESS, nullptr);
        HDESK made = nullptr;
        if (station != nullptr && SetProcessWindowStation(station)) {
            made = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
            SetProcessWindowStation(own);
        }
        if (made == nullptr) {
            throw DriverError("could not make a window station of its own");
        }
        return made;
    }();
    return desktop;
}

}  // namespace

bool Has(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

void Click(HWND button) {
    if (button == nullptr || !PostMessageA(button, BM_CLICK, 0, 0)) {
        throw DriverError("could not click a button");
    }
}

void Orvflash::Configure(const std::string& program, const std::string& library) {
    programPath = program;
    libraryPath = library;
}

Orvflash::Orvflash(const Scenario& scenario, bool startWindow)
    : kavix(scenario.flash, scenario.trace),
      initialFlash(scenario.flash),
      image(scenario.image.value_or(Bytes())),
      faults(scenario.faults),
      folder(kavix.Folder()),
      flashPath(kavix.FlashPath()) {
    if (scenario.userFolder != nullptr) {
        folder /= scenario.userFolder;
        fs::create_directory(folder);
        kavix_test::SimulatedKavix::SetFault("ORV_SIM_FLASH", "");
        flashPath = AnsiPath(folder) + "\\kavix_flash.bin";
        WriteBytes(flashPath, initialFlash);
    }
    // A copy left by an earlier scenario would be taken for this device's; and each run makes the
    // computer's folder anew, with its rules.
    fs::remove_all(CopyFolder());
    fs::remove_all(LegacyCopyFolder());
    fs::copy_file(programPath, folder / "orvflash.exe");
    fs::copy_file(libraryPath, folder / "orv_api.dll");
    if (scenario.image && !WriteBytes(ImagePath(), image)) {
        throw DriverError("could not write the image");
    }
    for (const auto& fault : faults) {
        kavix_test::SimulatedKavix::SetFault(fault.first.c_str(), fault.second);
    }
    if (startWindow) {
        Start();
    } else {
        MakeJob();
    }
}

void Orvflash::StartAgain(const std::optional<Bytes>& attached) {
    Stop();
    if (attached) {
        WriteBytes(flashPath, *attached);
    }
    for (const auto& fault : faults) {
        kavix_test::SimulatedKavix::SetFault(fault.first.c_str(), "");
    }
    Start();
}

// Started by the long names, as a user starts it, inside the job, so that closing the job ends it.
HANDLE Orvflash::StartInJob(const std::wstring& arguments, HANDLE output, bool unseen) const {
    const fs::path program = folder / "orvflash.exe";
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    std::wstring desktop = kUnseenDesktop;
    if (unseen) {
        UnseenDesktop();
        startup.lpDesktop = &desktop[0];
    }
    if (output != nullptr) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = output;
    }
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, output != nullptr,
                        CREATE_SUSPENDED, nullptr, folder.c_str(), &startup, &info)) {
        throw DriverError("could not start orvflash.exe, error " + std::to_string(GetLastError()));
    }
    if (!AssignProcessToJobObject(job, info.hProcess)) {
        TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        throw DriverError("could not put orvflash.exe in a job");
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    return info.hProcess;
}

void Orvflash::MakeJob() {
    // Closing the job ends the program, so no failure of the driver can leave it running.
    job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job == nullptr ||
        !SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        throw DriverError("could not make a job object");
    }
}

void Orvflash::Start() {
    try {
        MakeJob();
        process = StartInJob();
        processId = GetProcessId(process);
        WaitUntil(
            [&] {
                window = FindBox(processId, kUpdaterCaption);
                return window != nullptr || !Running();
            },
            30000);
        if (window == nullptr) {
            throw DriverError(std::string("no window \"") + kUpdaterCaption + "\" (process " +
                              (Running() ? "running" : "ended with " + std::to_string(ExitCode())) +
                              ")");
        }
    } catch (...) {
        Stop();  // the destructor does not run for a constructor that throws
        throw;
    }
    threadId = GetWindowThreadProcessId(window, nullptr);
}

DWORD Orvflash::StartSecond(DWORD timeoutMs) const {
    HANDLE second = StartInJob();
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

Unattended Orvflash::RunUnattended(const std::wstring& arguments, DWORD timeoutMs,
                                   bool unseen) const {
    // To a file: a pipe may be held open by Wine after the program ends.
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE output = CreateFileW((folder / "output.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) {
        throw DriverError("could not make output.txt");
    }
    HANDLE run = nullptr;
    try {
        run = StartInJob(arguments, output, unseen);
    } catch (...) {
        CloseHandle(output);
        throw;
    }
    CloseHandle(output);
    Watch watch{GetProcessId(run), {}};
    Unattended result;
    const bool ended = WaitUntil(
        [&] {
            EnumWindows(NoteWindowOf, LPARAM(&watch));
            if (unseen) {
                EnumDesktopWindows(UnseenDesktop(), NoteWindowOf, LPARAM(&watch));
            }
            return WaitForSingleObject(run, 0) == WAIT_OBJECT_0;
        },
        timeoutMs, 1);
    if (ended) {
        GetExitCodeProcess(run, &result.exitCode);
    } else {
        TerminateProcess(run, 1);
        WaitForSingleObject(run, 5000);
    }
    CloseHandle(run);
    result.windows = int(watch.seen.size());
    return result;
}

void Orvflash::Stop() {
    if (process != nullptr) {
        TerminateProcess(process, 1);  // fails harmlessly once it has ended
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
        process = nullptr;
    }
    if (job != nullptr) {
        CloseHandle(job);
        job = nullptr;
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

void Orvflash::WaitForLogLine(const std::string& line, DWORD timeoutMs) const {
    if (!WaitUntil([&] { return Has(Log(), line); }, timeoutMs)) {
        throw DriverError("the log has no line \"" + line + "\"; it holds " +
                          ::testing::PrintToString(Log()));
    }
}

void Orvflash::WaitForBarBeyond(int position, DWORD timeoutMs) const {
    if (!WaitUntil([&] { return BarPos() > position; }, timeoutMs)) {
        throw DriverError("the bar stays at " + std::to_string(BarPos()) + ", not beyond " +
                          std::to_string(position));
    }
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

void Orvflash::Post(UINT message, WPARAM wParam) const {
    if (!PostMessageA(window, message, wParam, 0)) {
        throw DriverError("could not post message " + std::to_string(message));
    }
}

void Orvflash::Sync() const {
    // A sent message is handled at the thread's next wait for messages, by which time whatever the
    // last handler posted is queued; a marker posted after it is handled after all of that. The
    // bar's step is the marker: the program never uses it.
    Send(window, WM_NULL);
    HWND bar = Control(PROGRESS_CLASSA, IDC_PROGRESS);
    const WPARAM token = 2 + (++syncToken % 50);
    if (!PostMessageA(bar, PBM_SETSTEP, token, 0) ||
        !WaitUntil([&] { return Send(bar, PBM_GETSTEP) == LRESULT(token); }, kStepTimeoutMs)) {
        throw DriverError("the window's thread does not get round to its messages");
    }
}

Box Orvflash::WaitForBox(const char* caption, DWORD timeoutMs) const {
    Box box = kavix_test::WaitForBox(processId, caption, timeoutMs);
    if (box.window == nullptr) {
        throw DriverError(std::string("no box \"") + caption + "\" appeared; the log holds " +
                          ::testing::PrintToString(Log()));
    }
    return box;
}

void Orvflash::Answer(const Box& box, int button) const {
    Click(GetDlgItem(box.window, button));
    if (!WaitUntil([&] { return !IsWindow(box.window); }, kStepTimeoutMs)) {
        throw DriverError("the box \"" + box.text + "\" stays open after the answer");
    }
}

DWORD Orvflash::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    return code;
}

std::vector<fs::path> Orvflash::SavedCopies() {
    std::vector<fs::path> copies;
    std::error_code none;  // no folder: no copies
    for (const fs::directory_entry& entry : fs::directory_iterator(CopyFolder(), none)) {
        // The log of every run lives beside them.
        if (entry.is_regular_file() && entry.path().filename().string().rfind("Kavix-", 0) == 0) {
            copies.push_back(entry.path());
        }
    }
    return copies;
}

// The driver runs in the program's Wine prefix, so the system names the same folders for both.
fs::path Orvflash::CopyFolder() {
    return KnownFolder(FOLDERID_ProgramData) / "orvflash";
}

fs::path Orvflash::LegacyCopyFolder() {
    return KnownFolder(FOLDERID_LocalAppData) / "orvflash";
}

fs::path Orvflash::ComputerLog() {
    return CopyFolder() / "orvflash.log";
}

std::string Orvflash::ImagePath() const {
    return AnsiPath(folder) + "\\Kavix_V5.dat";
}

}  // namespace e2e
