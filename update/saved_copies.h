// Copies of device data blocks, kept on disk from before the erase until the update has finished,
// one per serial number. Each file carries a checksum, so a torn or damaged copy is never used.
#ifndef ORVFLASH_UPDATE_SAVED_COPIES_H
#define ORVFLASH_UPDATE_SAVED_COPIES_H

#include <cstdint>
#include <string>
#include <vector>

#include "saved_copy_store.h"

namespace saved_copies {

// The file that holds the copy of the device with this serial number.
std::string FileName(int32_t serialNumber);

// Saves the data block (serial number at its start) as read from the device.
bool Save(SavedCopyStore& store, const unsigned char* block);

void Remove(SavedCopyStore& store, int32_t serialNumber);

// Whether `copy` can be what `block` was before an update that did not finish: every page of the
// block holds that page of the copy, or of the copy as it is written back, or is erased.
bool Applies(const unsigned char* copy, const unsigned char* block);

struct Applying {
    int count = 0;                    // whole copies that apply; counting stops at 2
    std::vector<unsigned char> copy;  // the data block of the first of them
};

Applying FindApplying(SavedCopyStore& store, const unsigned char* block);

}  // namespace saved_copies

#endif
