// The account this run works as: whether it may act as an administrator, and who owns a file
// compared with it.
#ifndef ORVFLASH_APP_COMPUTER_FILES_RUN_ACCOUNT_H
#define ORVFLASH_APP_COMPUTER_FILES_RUN_ACCOUNT_H

#include <windows.h>

#include <string>

#include "folder_decision.h"

// Elevated (TokenElevation) or SYSTEM's token. The one place that decides it: under Wine every
// process reports an elevated token, so a standard account's branch is shown through the
// decisions' facts (folder_decision.h), not here.
bool RunIsElevated();

// The run's account in SDDL form (S-1-5-...), empty if it cannot be read.
std::wstring RunAccountSid();

// The run's account as DOMAIN\name, in UTF-8, for the log.
std::string RunAccountName();

// Who owns the file or folder behind `handle` (opened with READ_CONTROL); `account` names an
// account other than SYSTEM, Administrators and this run's, in UTF-8. False if it cannot be read.
bool OwnerOf(HANDLE handle, Owner& owner, std::string& account);

// The owner of the file behind `handle` in SDDL form; empty if it cannot be read.
std::wstring OwnerSidOf(HANDLE handle);

// `text` in UTF-8.
std::string Utf8(const std::wstring& text);
// `text` in `codePage`; characters it lacks come out as '?'.
std::string Narrow(const std::wstring& text, UINT codePage);

#endif
