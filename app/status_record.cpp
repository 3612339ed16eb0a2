#include "status_record.h"

#include <windows.h>

#include <cstdio>

namespace {

const wchar_t kStatusKey[] = L"SOFTWARE\\orvflash";

bool SetDword(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value) == ERROR_SUCCESS;
}

// Our texts are ASCII.
bool SetText(HKEY key, const wchar_t* name, const std::string& text) {
    const std::wstring wide(text.begin(), text.end());
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                          DWORD((wide.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool WriteRegistry(const KavixStatus& status) {
    HKEY key = nullptr;
    // One key for both builds: a detection rule reads the 64-bit view.
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kStatusKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const bool written = SetDword(key, L"SerialNumber", DWORD(status.serialNumber)) &&
                         SetDword(key, L"FirmwareVersion", status.versionNow) &&
                         SetDword(key, L"UpdatePending", status.pending ? 1 : 0) &&
                         SetDword(key, L"LastExitCode", DWORD(status.exitCode)) &&
                         SetText(key, L"LastResult", ExitCodeMeaning(status.exitCode)) &&
                         SetText(key, L"LastRunUtc", status.timeUtc);
    RegCloseKey(key);
    return written;
}

}  // namespace

std::string UtcNow() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    return text;
}

bool WriteStatusRecord(const KavixStatus& status, bool elevated, SavedCopyStore& folder) {
    const std::string text = StatusText(status);
    const bool file = folder.Write(
        "status.ini", {{reinterpret_cast<const unsigned char*>(text.data()), text.size()}});
    return (!elevated || WriteRegistry(status)) && file;
}
