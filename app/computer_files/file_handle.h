// A Win32 handle to a file or folder that closes itself.
#ifndef ORVFLASH_APP_COMPUTER_FILES_FILE_HANDLE_H
#define ORVFLASH_APP_COMPUTER_FILES_FILE_HANDLE_H

#include <windows.h>

#include <utility>

class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(HANDLE handle)
        : handle(handle == nullptr ? INVALID_HANDLE_VALUE : handle) {}
    ~FileHandle() {
        if (IsOpen()) {
            CloseHandle(handle);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle(FileHandle&& other) noexcept
        : handle(std::exchange(other.handle, INVALID_HANDLE_VALUE)) {}
    FileHandle& operator=(FileHandle&& other) noexcept {
        std::swap(handle, other.handle);
        return *this;
    }

    bool IsOpen() const { return handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle; }
    bool Close() {
        HANDLE closing = std::exchange(handle, INVALID_HANDLE_VALUE);
        return closing != INVALID_HANDLE_VALUE && CloseHandle(closing) != FALSE;
    }

private:
    HANDLE handle = INVALID_HANDLE_VALUE;
};

#endif
