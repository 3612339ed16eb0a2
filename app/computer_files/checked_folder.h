// A folder opened once without following a reparse point, checked on its handle to be a plain
// directory, and held without FILE_SHARE_DELETE, so that it can be neither renamed nor replaced
// while it is held. Every file in it is opened relative to that handle and checked
// (checked_open.h); renames and deletes go through the file's checked handle, never by name.
#ifndef ORVFLASH_APP_COMPUTER_FILES_CHECKED_FOLDER_H
#define ORVFLASH_APP_COMPUTER_FILES_CHECKED_FOLDER_H

#include <memory>
#include <string>
#include <vector>

#include "access_table.h"
#include "checked_open.h"

class CheckedFolder {
public:
    // `path` without a trailing backslash; null if it is missing, not a directory or a reparse
    // point, with the reason in GetLastError.
    static std::unique_ptr<CheckedFolder> Open(const std::wstring& path);

    const std::wstring& Path() const { return path; }
    HANDLE Handle() const { return folder.Get(); }

    // A file of the folder, with the access of `operation`, checked.
    FileHandle OpenFile(const std::wstring& name, FolderTask operation, Disposition disposition,
                        PSECURITY_DESCRIPTOR rules = nullptr) const;
    // A new file of a name no one has, `base` + a unique part + ".tmp", created with CREATE_NEW;
    // its name in `name`.
    FileHandle CreateTemporary(const std::wstring& base, std::wstring& name,
                               PSECURITY_DESCRIPTOR rules = nullptr) const;
    // Renames the file behind `file` (opened with DELETE) to `name` in this folder.
    bool Rename(HANDLE file, const std::wstring& name, bool replace) const;
    // Deletes the file behind `file` (opened with DELETE) when its last handle closes.
    static bool Delete(HANDLE file);
    // Renames the file behind `file` (opened with DELETE) to the NT path `to` (\??\C:\...).
    static bool RenameTo(HANDLE file, const std::wstring& to, bool replace);
    // The names of the files (not folders) in it.
    bool Names(std::vector<std::wstring>& names) const;
    // A second handle to the folder with `access`, by its path while this one holds it there, and
    // checked to be the same folder; closed if it is not.
    FileHandle Reopen(DWORD access) const;
    // Commits the folder's entries (a new or renamed name) to the disk.
    bool Flush() const;

private:
    CheckedFolder(FileHandle folder, std::wstring path, std::wstring fullPath)
        : folder(std::move(folder)), path(std::move(path)), ntPath(std::move(fullPath)) {}

    FileHandle folder;
    const std::wstring path;
    const std::wstring ntPath;  // full, for the native rename
};

#endif
