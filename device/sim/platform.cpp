#include "sim/platform.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>
#else
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#endif

namespace orv_sim {

namespace {

// Any address inside this library will do to find the library's file.
const char kAddressInLibrary = 0;

}  // namespace

#ifdef _WIN32

namespace {

std::wstring Wide(const std::string& utf8) {
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(std::size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], length);
    return wide;
}

std::string Utf8(const wchar_t* wide, std::size_t size) {
    int length = WideCharToMultiByte(CP_UTF8, 0, wide, int(size), nullptr, 0, nullptr, nullptr);
    std::string utf8(std::size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, int(size), &utf8[0], length, nullptr, nullptr);
    return utf8;
}

}  // namespace

std::string EnvironmentValue(const char* name) {
    // The process's block rather than a C run-time's copy: the caller may use another run-time.
    const std::wstring wideName = Wide(name);
    DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0) {
        return {};
    }
    std::vector<wchar_t> value(size);
    DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    if (length == 0 || length >= size) {
        return {};
    }
    return Utf8(value.data(), length);
}

std::string LibraryDirectory() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&kAddressInLibrary), &module)) {
        return {};
    }
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    std::string file = Utf8(path, length);
    return file.substr(0, file.find_last_of("\\/") + 1);  // npos + 1 == 0: no folder
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
    return _wfopen(Wide(path).c_str(), Wide(mode).c_str());
}

bool RenameFile(const std::string& from, const std::string& to) {
    return _wrename(Wide(from).c_str(), Wide(to).c_str()) == 0;
}

void RemoveFile(const std::string& path) {
    _wremove(Wide(path).c_str());
}

unsigned long CurrentThreadId() {
    return GetCurrentThreadId();
}

bool CreateNewFile(const std::string& path) {
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

void EndProcessAbruptly() {
    TerminateProcess(GetCurrentProcess(), kCutExitCode);
    ExitProcess(
        kCutExitCode);  // not reached; TerminateProcess is only not declared as never returning
}

#else

std::string EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string LibraryDirectory() {
    Dl_info info;
    if (!dladdr(&kAddressInLibrary, &info) || !info.dli_fname) {
        return {};
    }
    std::string file(info.dli_fname);
    return file.substr(0, file.find_last_of('/') + 1);  // npos + 1 == 0: no folder
}

unsigned long CurrentThreadId() {
    return static_cast<unsigned long>(gettid());
}

bool CreateNewFile(const std::string& path) {
    int file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (file < 0) {
        return false;
    }
    close(file);
    return true;
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

bool RenameFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

void RemoveFile(const std::string& path) {
    std::remove(path.c_str());
}

void EndProcessAbruptly() {
    _exit(kCutExitCode);
}

#endif

}  // namespace orv_sim
