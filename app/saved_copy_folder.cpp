#include "saved_copy_folder.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

#include "computer_folder.h"
#include "legacy_copies.h"
#include "run_account.h"

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

CSavedCopyFolder::CSavedCopyFolder() : takesLegacyCopies(true) {}

CheckedFolder* CSavedCopyFolder::Folder() {
    if (computers) {
        return ComputerFolder();
    }
    if (!own && !path.empty()) {
        std::wstring folder = path;
        if (!folder.empty() && folder.back() == L'\\') {
            folder.pop_back();
        }
        own = CheckedFolder::Open(folder);
    }
    return own.get();
}

// A temporary file of a new name, flushed to the disk, then renamed to its name through its own
// handle, and the folder flushed: the rename alone does not promise that the new name is on the
// disk when the erase starts. A planted name is replaced, never written through.
bool CSavedCopyFolder::Write(const std::string& name, std::initializer_list<ByteSpan> parts) {
    CheckedFolder* folder = Folder();
    if (folder == nullptr) {
        return false;
    }
    std::wstring temporary;
    FileHandle file = folder->CreateTemporary(Widen(name), temporary);
    if (!file.IsOpen()) {
        return false;
    }
    bool written = true;
    for (const ByteSpan& part : parts) {
        written = written && WriteAll(file.Get(), part.data, part.size);
    }
    // Once renamed, the file is the one of that name, and the one it replaced is gone: it stays.
    if (!written || !FlushFileBuffers(file.Get()) ||
        !folder->Rename(file.Get(), Widen(name), true)) {
        CheckedFolder::Delete(file.Get());
        return false;
    }
    return folder->Flush();
}

bool CSavedCopyFolder::Names(std::vector<std::string>& names) {
    // Marked as done before the move, which lists this folder too. The first listing is the
    // preparation's, before any worker, so no second one can overtake the move.
    static std::atomic<bool> legacyMoved(false);
    if (takesLegacyCopies && !legacyMoved.exchange(true)) {
        TakeLegacyCopies(*this);
    }
    names.clear();
    CheckedFolder* folder = Folder();
    // Without a folder nothing was kept.
    return folder == nullptr || CopyNames(*folder, names);
}

bool CSavedCopyFolder::Read(const std::string& name, const Consumer& consume) {
    CheckedFolder* folder = Folder();
    return folder != nullptr && ReadCopyFile(*folder, name, consume);
}

bool CopyNames(const CheckedFolder& folder, std::vector<std::string>& names) {
    std::vector<std::wstring> found;
    names.clear();
    if (!folder.Names(found)) {
        return false;
    }
    for (const std::wstring& wide : found) {
        // Our names are plain ASCII; others are none of ours.
        if (std::all_of(wide.begin(), wide.end(), [](wchar_t c) { return c < 0x80; })) {
            names.emplace_back(wide.begin(), wide.end());
        }
    }
    return true;
}

bool ReadCopyFile(const CheckedFolder& folder, const std::string& name,
                  const SavedCopyStore::Consumer& consume) {
    const FileHandle file =
        folder.OpenFile(Widen(name), FolderTask::readFile, Disposition::openExisting);
    // Small pieces: the copy is checked as it streams by, and the stack stays small.
    unsigned char piece[0x2000];
    DWORD got = 0;
    while (file.IsOpen() && ReadFile(file.Get(), piece, sizeof piece, &got, nullptr)) {
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
    CheckedFolder* folder = Folder();
    if (folder == nullptr) {
        return false;
    }
    FileHandle file =
        folder->OpenFile(Widen(from), FolderTask::renameOwnFile, Disposition::openExisting);
    return file.IsOpen() && folder->Rename(file.Get(), Widen(to), true) && folder->Flush();
}

bool CSavedCopyFolder::Remove(const std::string& name) {
    CheckedFolder* folder = Folder();
    // Without a folder nothing can have been written, so nothing is left behind.
    if (folder == nullptr) {
        return true;
    }
    FileHandle file =
        folder->OpenFile(Widen(name), FolderTask::deleteOwnFile, Disposition::openExisting);
    if (!file.IsOpen()) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    return CheckedFolder::Delete(file.Get());
}

std::string CSavedCopyFolder::Where() {
    std::wstring folder = computers ? ComputerFolderPath() : path;
    if (!folder.empty() && folder.back() == L'\\') {
        folder.pop_back();
    }
    // Characters outside the code page come out as '?': the text is for reading.
    return Narrow(folder, CP_ACP);
}

SavedCopyStore::Writer CSavedCopyFolder::WriterOf(const std::string& name) {
    Writer writer;
    CheckedFolder* folder = Folder();
    FileHandle file = folder == nullptr ? FileHandle()
                                        : folder->OpenFile(Widen(name), FolderTask::readFile,
                                                           Disposition::openExisting);
    Owner owner = Owner::otherAccount;
    if (!file.IsOpen() || !OwnerOf(file.Get(), owner, writer.account)) {
        writer.account = "an account that cannot be named";
    }
    writer.trusted = IsTrustedWriter(owner);
    return writer;
}
