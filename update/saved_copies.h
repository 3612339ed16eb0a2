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
    enum Outcome { none, one, several, unreadable } outcome = none;
    // One: the copy whose serial number the block reads, or the copies that it could be, for the
    // label to tell. Unreadable: the file that cannot be read, empty for the folder.
    std::vector<Copy> copies;
    std::string unreadableName;
};

// The copies that `block` could have been before an update that did not finish. Copies with the
// same content count once; a complete temporary file counts as a copy.
Found Find(SavedCopyStore& store, const unsigned char* block);

// Reads the copy `name` into `block`; false if it cannot be read or does not check.
bool Load(SavedCopyStore& store, const std::string& name, unsigned char* block);

// The checksum that names and identifies a copy of `block`.
uint32_t Checksum(const unsigned char* block);

std::string FileName(int32_t serialNumber, uint32_t checksum);

// Saves `block` as read from the device, unless a copy with its content is kept already; the copy's
// checksum into `checksum` if given.
bool Save(SavedCopyStore& store, const unsigned char* block, uint32_t* checksum = nullptr);

// Removes every file that holds the copy with `checksum`, and no other.
void Remove(SavedCopyStore& store, uint32_t checksum);

}  // namespace saved_copies

#endif
