// The program's folder for the whole computer, "orvflash" under the program data folder
// (%ProgramData%): the saved copies of devices' data and the log of every run. The Kavix belongs to
// the computer, not to one account, so every account must find what another left there.
#ifndef ORVFLASH_APP_COMPUTER_FOLDER_H
#define ORVFLASH_APP_COMPUTER_FOLDER_H

#include <string>

// The folder with a trailing backslash, made if `create` and missing; empty if it cannot be found
// or made. Its path may hold characters outside the ANSI code page.
std::wstring ComputerFolder(bool create);

#endif
