// What the program does with the computer's folder and the files in it, decided from facts read on
// their handles. Free of Windows headers, so that every case can be tried on any machine.
#ifndef ORVFLASH_APP_COMPUTER_FILES_FOLDER_DECISION_H
#define ORVFLASH_APP_COMPUTER_FILES_FOLDER_DECISION_H

// Who owns a file or folder, as far as trust goes.
enum class Owner { system, administrators, runner, otherAccount };

// What was found where the folder belongs, opened without following a reparse point.
struct PlaceFacts {
    bool exists = true;
    bool directory = true;
    bool reparsePoint = false;
    bool programRules = true;  // the folder's rules are exactly the program's
    Owner owner = Owner::administrators;
    bool elevated = false;  // the run's token is elevated or SYSTEM's
};

enum class FolderAction {
    make,           // nothing there: made with the program's rules
    use,            // the program's own
    reRule,         // a plain folder with other rules, which this run may bring to the program's
    useAsItStands,  // a plain folder with other rules that only an administrator's run can secure
    moveAside,      // a file or reparse point, moved aside, then the folder made
    refuse,         // a file or reparse point that only an administrator's run may move
};

FolderAction DecideFolder(const PlaceFacts& place);

// What an open file of the folder (or a /log file) showed on its handle.
struct FileFacts {
    bool diskFile = true;
    bool directory = false;
    bool reparsePoint = false;
    unsigned long links = 1;
};

// A file is read or written only when it is a plain disk file with a single name: a hard link
// would carry the write to whatever file it shares with.
bool IsPlainFile(const FileFacts& file);

// A copy, a mark or a record counts without a question only from these.
bool IsTrustedWriter(Owner owner);

// Trimming replaces the whole log: only its owner or an administrator's run may.
bool MayTrimLog(Owner logOwner, bool elevated);

// A /log file that another standard account owns could be one it reads or points elsewhere.
bool MayUseLogFile(Owner logOwner);

#endif
