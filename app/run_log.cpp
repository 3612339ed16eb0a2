#include "run_log.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "file_handle.h"
#include "log_trim.h"

namespace {

constexpr LONGLONG kLimit = 1 << 20;

bool WriteAll(HANDLE file, const char* data, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

// Opened for this alone, unshared: a run appending meanwhile misses a line rather than waits.
void DropOlderHalf(const std::wstring& path) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file.IsOpen() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart <= kLimit) {
        return;
    }
    // A file grown far over the limit by other hands is read from its last 2 MiB only.
    LARGE_INTEGER start = {};
    start.QuadPart = size.QuadPart > 2 * kLimit ? size.QuadPart - 2 * kLimit : 0;
    const DWORD length = DWORD(size.QuadPart - start.QuadPart);
    std::unique_ptr<char[]> text(new char[length]);
    DWORD got = 0;
    if (!SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN) ||
        !ReadFile(file.Get(), text.get(), length, &got, nullptr) || got != length) {
        return;
    }
    const DWORD from = DWORD(NewerHalfFrom(text.get(), length));
    const LARGE_INTEGER beginning = {};
    if (SetFilePointerEx(file.Get(), beginning, nullptr, FILE_BEGIN) &&
        WriteAll(file.Get(), text.get() + from, length - from)) {
        SetEndOfFile(file.Get());
    }
}

}  // namespace

void RunLog::AddFile(const std::wstring& path, bool capped) {
    std::lock_guard<std::mutex> lock(appending);
    files.push_back({path, capped});
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
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] ", now.wYear,
                  now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
                  GetCurrentProcessId());
    const std::string line = stamp + std::string(text) + "\r\n";
    std::lock_guard<std::mutex> lock(appending);
    if (output != nullptr) {
        WriteAll(output, line.data() + std::strlen(stamp), DWORD(line.size() - std::strlen(stamp)));
    }
    for (const File& file : files) {
        // Opened for each line, shared: other runs append to the same file, and a reader may look.
        bool over = false;
        {
            FileHandle handle(CreateFileW(file.path.c_str(),
                                          FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            LARGE_INTEGER size = {};
            over = handle.IsOpen() && WriteAll(handle.Get(), line.data(), DWORD(line.size())) &&
                   file.capped && GetFileSizeEx(handle.Get(), &size) && size.QuadPart > kLimit;
        }
        if (over) {
            DropOlderHalf(file.path);
        }
    }
}
