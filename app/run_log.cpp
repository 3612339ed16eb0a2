#include "run_log.h"

#include <windows.h>

#include <cstdio>

#include "checked_open.h"
#include "computer_folder.h"
#include "log_path.h"
#include "log_trim.h"
#include "run_account.h"

namespace {

constexpr LONGLONG kLimit = 1 << 20;

bool WriteAll(HANDLE file, const char* data, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

std::string Utf8FromAnsi(const char* text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(size > 0 ? std::size_t(size) : 0, L'\0');
    if (size > 0) {
        MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], size);
        wide.pop_back();
    }
    return Utf8(wide);
}

}  // namespace

RunLog::RunLog() = default;
RunLog::~RunLog() = default;

void RunLog::AddComputerLog(CheckedFolder& folder) {
    std::lock_guard<std::mutex> lock(appending);
    computer = &folder;
    // A log made by this run keeps the rules the folder gives its files, and lets every run append.
    logRules.reset(new Descriptor(FileRules(RunAccountSid(), true)));
}

std::string RunLog::AddFile(const std::wstring& path) {
    const std::string where = "The /log file " + Utf8(path) + " is not used: ";
    const std::string problem = LogPathProblem(path);
    if (!problem.empty()) {
        return where + problem + ".";
    }
    FileHandle opened =
        OpenOutsideFile(path, AccessFor(FolderTask::appendLog), Disposition::openAlways);
    if (!opened.IsOpen()) {
        const DWORD error = GetLastError();
        return where + (error == ERROR_CANT_ACCESS_FILE
                            ? std::string("it is a link to another file, a folder or a device.")
                            : "it cannot be opened (error " + std::to_string(error) + ").");
    }
    Owner owner = Owner::otherAccount;
    std::string account;
    if (!OwnerOf(opened.Get(), owner, account)) {
        return where + "its owner cannot be read.";
    }
    if (!MayUseLogFile(owner)) {
        return where + "it belongs to another account, " + account + ".";
    }
    std::lock_guard<std::mutex> lock(appending);
    file = std::move(opened);
    return std::string();
}

bool RunLog::EchoToStandardOutput() {
    HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    const DWORD type = handle != nullptr && handle != INVALID_HANDLE_VALUE ? GetFileType(handle)
                                                                           : FILE_TYPE_UNKNOWN;
    std::lock_guard<std::mutex> lock(appending);
    output = type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE ? handle : nullptr;
    return output != nullptr;
}

void RunLog::Append(const char* text) {
    AppendUtf8(Utf8FromAnsi(text));
}

void RunLog::AppendUtf8(const std::string& text) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] ", now.wYear,
                  now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
                  GetCurrentProcessId());
    // A text of several lines (a question with its reasons) goes in as several lines, each with
    // its time: no text starts a line of the log that looks like another's.
    std::string line;
    std::string plain;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        std::string piece = text.substr(start, end == std::string::npos ? end : end - start);
        if (!piece.empty() && piece.back() == '\r') {
            piece.pop_back();
        }
        line += stamp + piece + "\r\n";
        plain += piece + "\r\n";
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    std::lock_guard<std::mutex> lock(appending);
    if (output != nullptr) {
        WriteAll(output, plain.data(), DWORD(plain.size()));
    }
    if (file.IsOpen()) {
        WriteAll(file.Get(), line.data(), DWORD(line.size()));
    }
    if (computer == nullptr) {
        return;
    }
    // Opened for each line, relative to the held folder, and checked: another run may have
    // replaced the file meanwhile, and a reader may look.
    bool over = false;
    {
        FileHandle log = computer->OpenFile(kComputerLogName, FolderTask::appendLog,
                                            Disposition::openAlways, logRules->Get());
        LARGE_INTEGER size = {};
        over = log.IsOpen() && WriteAll(log.Get(), line.data(), DWORD(line.size())) &&
               GetFileSizeEx(log.Get(), &size) && size.QuadPart > kLimit;
        Owner owner = Owner::otherAccount;
        std::string account;
        over = over && OwnerOf(log.Get(), owner, account) && MayTrimLog(owner, RunIsElevated());
    }
    if (over) {
        Trim();
    }
}

// The newer half written to a new file, which then replaces the log through its own handle: the
// log is never rewritten in place, so a link planted in its name carries nothing anywhere.
void RunLog::Trim() {
    std::string text;
    {
        FileHandle old =
            computer->OpenFile(kComputerLogName, FolderTask::readFile, Disposition::openExisting);
        LARGE_INTEGER size = {};
        if (!old.IsOpen() || !GetFileSizeEx(old.Get(), &size) || size.QuadPart <= kLimit) {
            return;
        }
        // A file grown far over the limit by other hands is read from its last 2 MiB only.
        LARGE_INTEGER start = {};
        start.QuadPart = size.QuadPart > 2 * kLimit ? size.QuadPart - 2 * kLimit : 0;
        text.resize(std::size_t(size.QuadPart - start.QuadPart));
        DWORD got = 0;
        if (!SetFilePointerEx(old.Get(), start, nullptr, FILE_BEGIN) ||
            !ReadFile(old.Get(), &text[0], DWORD(text.size()), &got, nullptr) ||
            got != text.size()) {
            return;
        }
    }
    const std::size_t from = NewerHalfFrom(text.data(), text.size());
    std::wstring temporary;
    FileHandle fresh = computer->CreateTemporary(kComputerLogName, temporary, logRules->Get());
    if (!fresh.IsOpen()) {
        return;
    }
    if (!WriteAll(fresh.Get(), text.data() + from, DWORD(text.size() - from)) ||
        !computer->Rename(fresh.Get(), kComputerLogName, true)) {
        CheckedFolder::Delete(fresh.Get());
    }
}
