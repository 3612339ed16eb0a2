#include "event_report.h"

#include <windows.h>

#include <string>

namespace {

const wchar_t kSource[] = L"orvflash";
const wchar_t kSourceKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\orvflash";
// EventCreate.exe's messages 1 to 1000 are the text given, as it is.
const wchar_t kMessageFile[] = L"%SystemRoot%\\System32\\EventCreate.exe";
constexpr DWORD kEventId = 1;

void RegisterSource() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSourceKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ,
                   reinterpret_cast<const BYTE*>(kMessageFile), sizeof kMessageFile);
    RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                   sizeof types);
    RegCloseKey(key);
}

WORD EventType(EventKind kind) {
    switch (kind) {
        case EventKind::information:
            return EVENTLOG_INFORMATION_TYPE;
        case EventKind::warning:
            return EVENTLOG_WARNING_TYPE;
        case EventKind::error:
            break;
    }
    return EVENTLOG_ERROR_TYPE;
}

}  // namespace

void ReportRunEvent(int exitCode, const KavixStatus* status, const std::string& logPath,
                    bool elevated) {
    if (elevated) {
        RegisterSource();
    }
    HANDLE source = RegisterEventSourceW(nullptr, kSource);
    if (source == nullptr) {
        return;
    }
    const std::string text = EventText(status, exitCode, logPath);
    std::wstring wide(text.size(), L'\0');
    wide.resize(std::size_t(MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &wide[0],
                                                int(wide.size()))));
    const wchar_t* strings[] = {wide.c_str()};
    ReportEventW(source, EventType(EventKindOf(exitCode)), 0, kEventId, nullptr, 1, 0, strings,
                 nullptr);
    DeregisterEventSource(source);
}
