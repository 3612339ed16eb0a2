#include "checked_folder.h"

#include <atomic>
#include <cstring>

std::unique_ptr<CheckedFolder> CheckedFolder::Open(const std::wstring& path) {
    // No FILE_SHARE_DELETE: while held, the folder keeps its name and place.
    FileHandle folder(CreateFileW(path.c_str(), AccessFor(FolderTask::holdFolder),
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
    if (!folder.IsOpen()) {
        return nullptr;
    }
    const FileFacts facts = FactsOf(folder.Get());
    if (!facts.diskFile || !facts.directory || facts.reparsePoint) {
        SetLastError(ERROR_DIRECTORY);
        return nullptr;
    }
    wchar_t full[MAX_PATH * 2];
    const DWORD size = GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
    if (size == 0 || size >= MAX_PATH * 2) {
        return nullptr;
    }
    return std::unique_ptr<CheckedFolder>(new CheckedFolder(std::move(folder), path, full));
}

FileHandle CheckedFolder::OpenFile(const std::wstring& name, FolderTask operation,
                                   Disposition disposition, PSECURITY_DESCRIPTOR rules) const {
    return OpenInFolder(folder.Get(), name, AccessFor(operation), disposition, rules);
}

FileHandle CheckedFolder::CreateTemporary(const std::wstring& base, std::wstring& name,
                                          PSECURITY_DESCRIPTOR rules) const {
    static std::atomic<unsigned> counter(0);
    for (int attempt = 0; attempt < 16; ++attempt) {
        wchar_t unique[40];
        swprintf(unique, 40, L".%lx-%x-%x.tmp", GetCurrentProcessId(), GetTickCount(),
                 counter.fetch_add(1));
        name = base + unique;
        FileHandle file = OpenInFolder(folder.Get(), name, AccessFor(FolderTask::createFile),
                                       Disposition::createNew, rules);
        if (file.IsOpen() || GetLastError() != ERROR_FILE_EXISTS) {
            return file;
        }
    }
    return FileHandle();
}

bool CheckedFolder::Rename(HANDLE file, const std::wstring& name, bool replace) const {
    if (name.empty() || name.find_first_of(L"\\/:") != std::wstring::npos) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    // By full path: Wine takes no root folder for a rename. The held folder, which cannot be
    // renamed or replaced, is what the path names.
    return RenameTo(file, L"\\??\\" + ntPath + L"\\" + name, replace);
}

bool CheckedFolder::RenameTo(HANDLE file, const std::wstring& to, bool replace) {
    const DWORD nameBytes = DWORD(to.size() * sizeof(wchar_t));
    std::string bytes(sizeof(FILE_RENAME_INFO) + nameBytes, '\0');
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(&bytes[0]);
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->FileNameLength = nameBytes;
    std::memcpy(info->FileName, to.data(), nameBytes);
    return SetFileInformationByHandle(file, FileRenameInfo, info, DWORD(bytes.size())) != FALSE;
}

bool CheckedFolder::Delete(HANDLE file) {
    FILE_DISPOSITION_INFO info = {TRUE};
    return SetFileInformationByHandle(file, FileDispositionInfo, &info, sizeof info) != FALSE;
}

FileHandle CheckedFolder::Reopen(DWORD access) const {
    FileHandle handle(
        CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION held = {}, opened = {};
    if (!handle.IsOpen() || !GetFileInformationByHandle(folder.Get(), &held) ||
        !GetFileInformationByHandle(handle.Get(), &opened) ||
        held.dwVolumeSerialNumber != opened.dwVolumeSerialNumber ||
        held.nFileIndexHigh != opened.nFileIndexHigh ||
        held.nFileIndexLow != opened.nFileIndexLow) {
        handle.Close();
        SetLastError(ERROR_DIRECTORY);
    }
    return handle;
}

bool CheckedFolder::Names(std::vector<std::wstring>& names) const {
    names.clear();
    // A handle of its own for each listing: Wine lists a handle's folder as it first saw it.
    const FileHandle listed = Reopen(FILE_LIST_DIRECTORY);
    if (!listed.IsOpen()) {
        return false;
    }
    alignas(8) unsigned char buffer[0x4000];
    FILE_INFO_BY_HANDLE_CLASS kind = FileFullDirectoryRestartInfo;
    while (GetFileInformationByHandleEx(listed.Get(), kind, buffer, sizeof buffer)) {
        kind = FileFullDirectoryInfo;
        for (std::size_t at = 0;;) {
            const auto* entry = reinterpret_cast<const FILE_FULL_DIR_INFO*>(buffer + at);
            if ((entry->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                names.emplace_back(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
            }
            if (entry->NextEntryOffset == 0) {
                break;
            }
            at += entry->NextEntryOffset;
        }
    }
    return GetLastError() == ERROR_NO_MORE_FILES;
}

bool CheckedFolder::Flush() const {
    return FlushFileBuffers(folder.Get()) != FALSE;
}
