// The program's folder for the whole computer, "orvflash" under the program data folder
// (%ProgramData%): the saved copies of devices' data and the log of every run. The Kavix belongs to
// the computer, not to one account, so every account must find what another left there. Deployment
// tools run the program as SYSTEM, and every account can write in the folder: everything in it is
// treated as possibly planted (folder_rules.h, folder_decision.h).
#ifndef ORVFLASH_APP_COMPUTER_FILES_COMPUTER_FOLDER_H
#define ORVFLASH_APP_COMPUTER_FILES_COMPUTER_FOLDER_H

#include <windows.h>
#include <shtypes.h>

#include <string>
#include <vector>

#include "checked_folder.h"

// The computer's folder, found, made or secured on the first call and held for the process's
// life; null when this run cannot use it (nothing can then be saved, so nothing is erased).
CheckedFolder* ComputerFolder();

// What finding the folder did, for the log (UTF-8): a folder secured, a file moved aside, a place
// this run may not use and why.
std::vector<std::string> ComputerFolderNotes();

// A folder the system knows (FOLDERID_...), without a trailing backslash; empty if unknown.
std::wstring KnownFolderPath(REFKNOWNFOLDERID id);

// The log of every run on the computer, in the folder.
inline const wchar_t kComputerLogName[] = L"orvflash.log";

// The folder's path without a trailing backslash, also when it cannot be used; empty if the
// program data folder is unknown.
std::wstring ComputerFolderPath();

#endif
