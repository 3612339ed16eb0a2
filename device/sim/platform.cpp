#include "sim/platform.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>
#else
#include <dlfcn.h>
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

#endif

}  // namespace orv_sim
