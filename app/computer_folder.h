// The program's folder for the whole computer, "orvflash" under the program data folder
// (%ProgramData%): the saved copies of devices' data and the log of every run. The Kavix belongs to
// the computer, not to one account, so every account must find what another left there, and may
// add and remove files in it.
#ifndef ORVFLASH_APP_COMPUTER_FOLDER_H
#define ORVFLASH_APP_COMPUTER_FOLDER_H

#include <string>

// Who may do what in the folder, as SDDL: SYSTEM and Administrators full control, every
// authenticated account read, write and delete (Modify), inherited by its files and folders and
// not by the program data folder's own rules, which let only a file's creator change it.
extern const wchar_t kComputerFolderAccess[];

// The folder with a trailing backslash, made if `create` and missing; empty if it cannot be found
// or made. With `create` the folder is given kComputerFolderAccess, also when it exists with other
// rules, as far as this account may change them. Its path may hold characters outside the ANSI
// code page.
std::wstring ComputerFolder(bool create);

#endif
