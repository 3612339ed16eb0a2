// Exactly the access each operation on the computer's files asks for: no open asks for more than
// its operation needs, and the folder's rules (folder_rules.h) grant a standard account all of it
// on its own files and the log, as the Windows tests check with AccessCheck.
#ifndef ORVFLASH_APP_COMPUTER_FILES_ACCESS_TABLE_H
#define ORVFLASH_APP_COMPUTER_FILES_ACCESS_TABLE_H

#include <windows.h>

enum class FolderTask {
    holdFolder,      // the folder, held for the process: list, add files, flush their names
    readFile,        // a copy or mark read, or its owner read
    createFile,      // a new file written (copy, temporary, trimmed log)
    appendLog,       // a line added to the log
    renameOwnFile,   // a temporary file moved to its name, a copy marked
    deleteOwnFile,   // a copy removed
    replaceOwnFile,  // the name a rename replaces
    reRuleFolder,    // the folder's rules, by a run that may set them
    reRuleFile,      // a file's rules, by a run that may set them
    moveAside,       // a file or reparse point where the folder belongs
};

DWORD AccessFor(FolderTask operation);

#endif
