// Who may do what in the computer's folder, as SDDL, and setting those rules on a handle.
//
// Every authenticated account may list the folder, add files to it and read every file; it may
// change and delete only the files it made (CREATOR OWNER), and append to the log. No standard
// account may delete, rename or re-rule the folder, nor add folders to it. OWNER RIGHTS replaces
// an owner's implicit right to change rules, so the account that made the folder or a file first
// gains nothing by it. SYSTEM and Administrators have full control.
#ifndef ORVFLASH_APP_COMPUTER_FILES_FOLDER_RULES_H
#define ORVFLASH_APP_COMPUTER_FILES_FOLDER_RULES_H

#include <windows.h>

#include <string>

// The folder's rules, protected from the program data folder's.
extern const wchar_t kFolderRules[];

// The rules of a file in the folder whose owner is `ownerSid` (SDDL form), as the folder's rules
// give a file its creator makes; the log also lets every account append.
std::wstring FileRules(const std::wstring& ownerSid, bool log);

// A security descriptor made from SDDL; Valid() is false when the text did not convert, and then
// nothing may be made or re-ruled with it.
class Descriptor {
public:
    explicit Descriptor(const std::wstring& sddl);
    ~Descriptor();
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    bool Valid() const { return descriptor != nullptr; }
    PSECURITY_DESCRIPTOR Get() const { return descriptor; }

private:
    PSECURITY_DESCRIPTOR descriptor = nullptr;
};

// Whether the object behind `handle` has exactly `rules` (protected, the same entries).
bool HasRules(HANDLE handle, const Descriptor& rules);

// Sets `rules` on the object itself, never on what a folder holds; with `administratorsOwn` it
// also becomes Administrators'. `handle` has WRITE_DAC (and WRITE_OWNER for the owner).
bool SetRules(HANDLE handle, const Descriptor& rules, bool administratorsOwn);

#endif
