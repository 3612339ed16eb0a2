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

std::string EnvironmentValue(const char* name) {
    // The process's block rather than a C run-time's copy: the caller may use another run-time.
    DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0) {
        return {};
    }
    std::vector<char> value(size);
    DWORD length = GetEnvironmentVariableA(name, value.data(), size);
    if (length == 0 || length >= size) {
        return {};
    }
    return std::string(value.data(), length);
}

std::string LibraryDirectory() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            &kAddressInLibrary, &module)) {
        return {};
    }
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    std::string file(path, length);
    return file.substr(0, file.find_last_of("\\/") + 1);  // npos + 1 == 0: no folder
}

unsigned long CurrentThreadId() {
    return GetCurrentThreadId();
}

bool CreateNewFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

void EndProcessAbruptly() {
    TerminateProcess(GetCurrentProcess(), 3);
    ExitProcess(3);  // not reached; TerminateProcess is only not declared as never returning
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

void EndProcessAbruptly() {
    _exit(3);
}

#endif

}  // namespace orv_sim
