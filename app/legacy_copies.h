// The copies that earlier versions kept in "orvflash" under each account's local application data
// folder (%LOCALAPPDATA%), and their move into the computer's folder, where every account's start
// finds them. A copy may hold a Kavix's only data: it is never lost and never overwritten.
#ifndef ORVFLASH_APP_LEGACY_COPIES_H
#define ORVFLASH_APP_LEGACY_COPIES_H

#include <string>

#include "saved_copy_store.h"

// The account's old folder with a trailing backslash, whether it exists or not; empty if it cannot
// be found. Never made.
std::wstring LegacyCopyFolder();

// Moves every copy ("Kavix-*.copy") of `from` into `into`, byte for byte, durably through
// `into.Write`, then removes it from `from`; with `keep`, leaves it there and marks it taken in
// `into` ("<name>.imported"), so that it is never taken again. Only a whole copy that checks is
// taken.
// A copy that `into` already holds with the same bytes is not written again; one that `into` holds
// with other bytes, or that cannot be read, written or compared, stays where it is. Temporary and
// other files are left alone. A moved copy has no record, so every start asks about it.
void MoveLegacyCopies(SavedCopyStore& from, SavedCopyStore& into, bool keep = false);

// Takes the copies of earlier versions into `into`: moved from the account's own folder by a
// standard account's run; an elevated or SYSTEM run only reads them, there and in the folder of
// every profile of the computer's profile list. Each folder on the way is opened without following
// a link.
void TakeLegacyCopies(SavedCopyStore& into);

#endif
