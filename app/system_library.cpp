#include "system_library.h"

#include <string>

SystemLibrary::SystemLibrary(const wchar_t* name)
    // Its own dependencies from the system folder too, where the system can say so.
    : module(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    if (module != nullptr) {
        return;
    }
    // Windows without that search (7 before its update): by the full path instead.
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        module = LoadLibraryW((std::wstring(folder, length) + L"\\" + name).c_str());
    }
}

SystemLibrary::~SystemLibrary() {
    if (module != nullptr) {
        FreeLibrary(module);
    }
}
