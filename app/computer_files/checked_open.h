// Opening a file without following a reparse point, and checking what was opened on its handle
// before anything is read or written: a disk file, no reparse point, one name only.
#ifndef ORVFLASH_APP_COMPUTER_FILES_CHECKED_OPEN_H
#define ORVFLASH_APP_COMPUTER_FILES_CHECKED_OPEN_H

#include <windows.h>

#include <string>

#include "file_handle.h"
#include "folder_decision.h"

// How an open meets an existing name.
enum class Disposition { openExisting, createNew, openAlways };

// Opens `name` (no backslash) in the folder behind `folder`, relative to that handle, so that
// nothing can swap the folder between the check and the open. `rules`: the descriptor of a new
// file, or null for the folder's inherited rules. Checked (IsPlainFile); an open that fails or a
// file that fails the check comes back closed, with the reason in GetLastError
// (ERROR_FILE_NOT_FOUND, ERROR_FILE_EXISTS, ERROR_CANT_ACCESS_FILE for a link or device).
FileHandle OpenInFolder(HANDLE folder, const std::wstring& name, DWORD access,
                        Disposition disposition, PSECURITY_DESCRIPTOR rules = nullptr);

// Opens a path that is not the program's (a /log file): no reparse point followed, and a pipe's
// server may only identify this run, never act as it. Checked as OpenInFolder.
FileHandle OpenOutsideFile(const std::wstring& path, DWORD access, Disposition disposition);

// What the handle shows.
FileFacts FactsOf(HANDLE file);

#endif
