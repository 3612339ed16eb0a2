// Copies of device data blocks, kept on disk from before the erase until the device has been read
// back holding what was written. Each file carries a checksum, so a torn or damaged copy is never
// used, and is named by the serial number and that checksum, so that copies of one Kavix with other
// content never replace each other. Files are read a piece at a time, never whole.
#ifndef ORVFLASH_UPDATE_SAVED_COPIES_H
#define ORVFLASH_UPDATE_SAVED_COPIES_H

#include <cstdint>
#include <string>
#include <vector>

#include "saved_copy_store.h"

namespace saved_copies {

// How a data block read from a device stands to a copy (the rule: docs/architecture.md).
enum class Match {
    foreign,     // no cut leaves this block from the copy: the device keeps its own data
    intact,      // the block is the copy
    cut,         // a cut left it, and its serial number still reads the copy's
    unlabelled,  // a cut could have left it, but its serial number no longer reads the copy's
};

Match Compare(const unsigned char* copy, const unsigned char* block);

struct Copy {
    std::string name;  // a file that holds it
    uint32_t checksum = 0;
    int32_t serialNumber = 0;
    Match match = Match::foreign;
};

struct Found {
    enum Outcome {
        none,        // no copy could be this block
        take,        // one copy could be, and the block reads its serial number whole
        ask,         // only the label on the device can tell: each copy is asked about in turn
        several,     // copies of one serial number could each be the block: none can be chosen
        unreadable,  // a file that cannot be read, or the folder
    } outcome = none;
    std::vector<Copy> copies;
    std::string unreadableName;  // empty for the folder
};

// Run at each start, before anything else: removes what no erase followed (unmarked copies and
// unfinished files), and the copies that a finished update could not remove.
void Tidy(SavedCopyStore& store);

// The marked copies that `block` could have been before an update that did not finish. Copies
// with the same content count once.
Found Find(SavedCopyStore& store, const unsigned char* block);

// Reads the copy `name` into `block`; false if it cannot be read or does not check.
bool Load(SavedCopyStore& store, const std::string& name, unsigned char* block);

// Whether `name` is that of a marked copy.
bool IsCopyName(const std::string& name);

// The checksum that names and identifies a copy of `block`.
uint32_t Checksum(const unsigned char* block);

// A copy's file: unmarked from its save, marked once its run is about to erase.
std::string FileName(int32_t serialNumber, uint32_t checksum, bool marked = true);

// Saves `block` as read from the device, unmarked, unless a marked copy with its content is kept
// already (`*marked` then true); the copy's checksum into `checksum`.
bool Save(SavedCopyStore& store, const unsigned char* block, uint32_t& checksum, bool& marked);

// Marks the saved copy durably: from now on it is a copy of an update that may not finish.
bool Mark(SavedCopyStore& store, int32_t serialNumber, uint32_t checksum);

// Removes the unmarked copy: its run stops before the erase.
void Discard(SavedCopyStore& store, int32_t serialNumber, uint32_t checksum);

// Saves and marks: a copy as a run about to erase leaves it.
bool SaveMarked(SavedCopyStore& store, const unsigned char* block);

// Removes every file that holds the copy with `checksum`, and no other. The names of files that
// are still there afterwards; a mark for the next start's Tidy stands in for them.
std::vector<std::string> Remove(SavedCopyStore& store, uint32_t checksum);

}  // namespace saved_copies

#endif
