// A Win32 handle to a file or folder that closes itself, and the flush of a folder's entries
// through one.
#ifndef ORVFLASH_APP_FILE_HANDLE_H
#define ORVFLASH_APP_FILE_HANDLE_H

#include <windows.h>

#include <string>

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

// Commits a folder's entries (a new name, a renamed file) to the disk, as a file's own flush does
// not. `folder` has no trailing backslash.
inline bool FlushFolder(const std::wstring& folder) {
    FileHandle handle(CreateFileW(folder.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return handle.IsOpen() && FlushFileBuffers(handle.Get());
}

#endif
