#include "checked_open.h"

#include <winternl.h>

namespace {

using NtCreateFileCall = LONG(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                      PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using StatusToErrorCall = ULONG(NTAPI*)(LONG);

constexpr LONG kNameCollision = LONG(0xC0000035);

// The native calls, looked up at run time: MinGW links no ntdll import library by default.
struct Native {
    NtCreateFileCall createFile = nullptr;
    StatusToErrorCall statusToError = nullptr;
    Native() {
        if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
            createFile = reinterpret_cast<NtCreateFileCall>(
                reinterpret_cast<void*>(GetProcAddress(ntdll, "NtCreateFile")));
            statusToError = reinterpret_cast<StatusToErrorCall>(
                reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
        }
    }
};

const Native& NativeCalls() {
    static const Native native;
    return native;
}

// Closes a handle that fails the check.
FileHandle Checked(FileHandle file) {
    if (file.IsOpen() && !IsPlainFile(FactsOf(file.Get()))) {
        file.Close();
        SetLastError(ERROR_CANT_ACCESS_FILE);
    }
    return file;
}

}  // namespace

FileFacts FactsOf(HANDLE file) {
    FileFacts facts;
    BY_HANDLE_FILE_INFORMATION info = {};
    facts.diskFile = GetFileType(file) == FILE_TYPE_DISK;
    if (!GetFileInformationByHandle(file, &info)) {
        facts.diskFile = false;
        return facts;
    }
    facts.directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.reparsePoint = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    facts.links = info.nNumberOfLinks;
    return facts;
}

FileHandle OpenInFolder(HANDLE folder, const std::wstring& name, DWORD access,
                        Disposition disposition, PSECURITY_DESCRIPTOR rules) {
    const Native& native = NativeCalls();
    if (native.createFile == nullptr || native.statusToError == nullptr ||
        name.find_first_of(L"\\/:") != std::wstring::npos || name.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return FileHandle();
    }
    UNICODE_STRING objectName;
    objectName.Buffer = const_cast<wchar_t*>(name.c_str());
    objectName.Length = USHORT(name.size() * sizeof(wchar_t));
    objectName.MaximumLength = objectName.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, folder, rules);
    IO_STATUS_BLOCK status = {};
    const ULONG dispositions[] = {FILE_OPEN, FILE_CREATE, FILE_OPEN_IF};
    HANDLE file = INVALID_HANDLE_VALUE;
    const LONG result = native.createFile(
        &file, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &status, nullptr,
        FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        dispositions[int(disposition)],
        FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr,
        0);
    if (result < 0) {
        SetLastError(result == kNameCollision ? ERROR_FILE_EXISTS : native.statusToError(result));
        return FileHandle();
    }
    return Checked(FileHandle(file));
}

FileHandle OpenOutsideFile(const std::wstring& path, DWORD access, Disposition disposition) {
    const DWORD dispositions[] = {OPEN_EXISTING, CREATE_NEW, OPEN_ALWAYS};
    return Checked(FileHandle(CreateFileW(path.c_str(), access | SYNCHRONIZE | FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          dispositions[int(disposition)],
                                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT |
                                              SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                                          nullptr)));
}
