// The copies that earlier versions kept in "orvflash" under each account's local application data
// folder (%LOCALAPPDATA%), and their move into the computer's folder, where every account's start
// finds them. A copy may hold a Kavix's only data: it is never lost and never overwritten.
#ifndef ORVFLASH_APP_LEGACY_COPIES_H
#define ORVFLASH_APP_LEGACY_COPIES_H

#include <string>

#include "saved_copy_store.h"

// The account's old folder with a trailing backslash, whether it exists or not; empty if it cannot
// be found. Never made.
std::wstring LegacyCopyFolder(bool create);

// Moves every copy ("Kavix-*.copy") of `from` into `into`, byte for byte, durably through
// `into.Write`, then removes it from `from`. A copy that `into` already holds with the same bytes
// is only removed; one that `into` holds with other bytes, or that cannot be read, written or
// compared, stays where it is. Temporary and other files are left alone.
void MoveLegacyCopies(SavedCopyStore& from, SavedCopyStore& into);

#endif
