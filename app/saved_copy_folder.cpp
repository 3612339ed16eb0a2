#include "saved_copy_folder.h"

#include <windows.h>

#include <atomic>

#include "computer_folder.h"
#include "file_handle.h"
#include "legacy_copies.h"

namespace {

// Our file names are plain ASCII.
std::wstring Widen(const std::string& name) {
    return std::wstring(name.begin(), name.end());
}

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

}  // namespace

CSavedCopyFolder::CSavedCopyFolder() : folderOf(ComputerFolder), takesLegacyCopies(true) {}

// A temporary file, flushed to the disk, then moved to its name, and the folder flushed: the move's
// write-through flag alone does not promise that the new name is on the disk when the erase starts.
bool CSavedCopyFolder::Write(const std::string& name, std::initializer_list<ByteSpan> parts) {
    const std::wstring folder = folderOf(true);
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
    // Marked as done before the move, which lists this folder too. The first listing is the
    // preparation's, before any worker, so no second one can overtake the move.
    static std::atomic<bool> legacyMoved(false);
    if (takesLegacyCopies && !legacyMoved.exchange(true)) {
        CSavedCopyFolder legacy(LegacyCopyFolder);
        MoveLegacyCopies(legacy, *this);
    }
    names.clear();
    const std::wstring folder = folderOf(false);
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
    const std::wstring folder = folderOf(false);
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
    const std::wstring folder = folderOf(false);
    return !folder.empty() &&
           MoveFileExW((folder + Widen(from)).c_str(), (folder + Widen(to)).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) &&
           FlushFolder(folder.substr(0, folder.size() - 1));
}

bool CSavedCopyFolder::Remove(const std::string& name) {
    const std::wstring folder = folderOf(false);
    // Without a folder nothing can have been written, so nothing is left behind.
    if (folder.empty() || DeleteFileW((folder + Widen(name)).c_str())) {
        return true;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::string CSavedCopyFolder::Where() {
    std::wstring folder = folderOf(false);
    if (folder.empty()) {
        return std::string();
    }
    folder.pop_back();
    // Characters outside the code page come out as '?': the text is for reading.
    const int size = WideCharToMultiByte(CP_ACP, 0, folder.c_str(), int(folder.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string text(size > 0 ? std::size_t(size) : 0, '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_ACP, 0, folder.c_str(), int(folder.size()), &text[0], size, nullptr,
                            nullptr);
    }
    return text;
}
