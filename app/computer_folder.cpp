#include "computer_folder.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

std::wstring ComputerFolder(bool create) {
    PWSTR base = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &base))) {
        folder = std::wstring(base) + L"\\orvflash";
    }
    CoTaskMemFree(base);
    if (folder.empty()) {
        return std::wstring();
    }
    if (create && !CreateDirectoryW(folder.c_str(), nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
        return std::wstring();
    }
    return folder + L"\\";
}
