#include "saved_copy_folder.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

namespace {

// Our file names are plain ASCII.
std::wstring Widen(const std::string& name) {
    return std::wstring(name.begin(), name.end());
}

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle(handle) {}
    ~FileHandle() {
        if (IsOpen()) {
            CloseHandle(handle);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool IsOpen() const { return handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle; }
    bool Close() {
        HANDLE closing = handle;
        handle = INVALID_HANDLE_VALUE;
        return CloseHandle(closing) != FALSE;
    }

private:
    HANDLE handle;
};

bool WriteAll(HANDLE file, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = size > 0x100000 ? 0x100000 : DWORD(size);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Commits a folder's entries (a new name, a renamed file) to the disk, as a file's own flush does
// not.
bool FlushFolder(const std::wstring& folder) {
    FileHandle handle(CreateFileW(folder.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return handle.IsOpen() && FlushFileBuffers(handle.Get());
}

}  // namespace

std::wstring CSavedCopyFolder::Folder(bool create) {
    PWSTR base = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(
            FOLDERID_LocalAppData, create ? DWORD(KF_FLAG_CREATE) : DWORD(0), nullptr, &base))) {
        folder = std::wstring(base) + L"\\orvflash";
    }
    CoTaskMemFree(base);
    if (folder.empty()) {
        return std::wstring();
    }
    if (create && CreateDirectoryW(folder.c_str(), nullptr)) {
        // The new folder's name lives in its parent.
        FlushFolder(folder.substr(0, folder.rfind(L'\\')));
    } else if (create && GetLastError() != ERROR_ALREADY_EXISTS) {
        return std::wstring();
    }
    return folder + L"\\";
}

// A temporary file, flushed to the disk, then moved to its name, and the folder flushed: the move's
// write-through flag alone does not promise that the new name is on the disk when the erase starts.
bool CSavedCopyFolder::Write(const std::string& name, std::initializer_list<ByteSpan> parts) {
    const std::wstring folder = Folder(true);
    if (folder.empty()) {
        return false;
    }
    const std::wstring path = folder + Widen(name);
    const std::wstring temporary = path + L".tmp";
    FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        return false;
    }
    bool written = true;
    for (const ByteSpan& part : parts) {
        written = written && WriteAll(file.Get(), part.data, part.size);
    }
    written = written && FlushFileBuffers(file.Get()) && file.Close() &&
              MoveFileExW(temporary.c_str(), path.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) &&
              FlushFolder(folder.substr(0, folder.size() - 1));
    if (!written) {
        if (file.IsOpen()) {
            file.Close();
        }
        DeleteFileW(temporary.c_str());
    }
    return written;
}

bool CSavedCopyFolder::Names(std::vector<std::string>& names) {
    names.clear();
    const std::wstring folder = Folder(false);
    if (folder.empty()) {
        return true;
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    do {
        std::string name;
        for (const wchar_t* c = found.cFileName; *c != 0 && *c < 0x80; ++c) {
            name += char(*c);
        }
        // Names of other characters are none of ours.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            name.size() == wcslen(found.cFileName)) {
            names.push_back(name);
        }
    } while (FindNextFileW(search, &found));
    const bool listed = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(search);
    return listed;
}

bool CSavedCopyFolder::Read(const std::string& name, const Consumer& consume) {
    const std::wstring folder = Folder(false);
    if (folder.empty()) {
        return false;
    }
    FileHandle file(CreateFileW((folder + Widen(name)).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.IsOpen()) {
        return false;
    }
    // Small pieces: the copy is checked as it streams by, and the stack stays small.
    unsigned char piece[0x2000];
    DWORD got = 0;
    while (ReadFile(file.Get(), piece, sizeof piece, &got, nullptr)) {
        if (got == 0) {
            return true;
        }
        if (!consume(piece, got)) {
            return false;
        }
    }
    return false;
}

bool CSavedCopyFolder::Rename(const std::string& from, const std::string& to) {
    const std::wstring folder = Folder(false);
    return !folder.empty() &&
           MoveFileExW((folder + Widen(from)).c_str(), (folder + Widen(to)).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) &&
           FlushFolder(folder.substr(0, folder.size() - 1));
}

bool CSavedCopyFolder::Remove(const std::string& name) {
    const std::wstring folder = Folder(false);
    return folder.empty() || DeleteFileW((folder + Widen(name)).c_str()) ||
           GetLastError() == ERROR_FILE_NOT_FOUND;
}

std::string CSavedCopyFolder::Where() {
    const std::wstring folder = Folder(false);
    char text[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, folder.c_str(), int(folder.size()) - 1, text, sizeof text - 1,
                        nullptr, nullptr);
    return text;
}
