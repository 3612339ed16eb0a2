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

// How far the run of a marked copy got, kept durably beside it: a copy lives exactly as long as its
// update. Copies saved by earlier versions have none.
struct Record {
    enum Stage : unsigned char {
        armed = 1,    // about to erase
        erased = 2,   // the erase returned success
        written = 3,  // every page but the last of the write-back returned success
        failed = 4,   // the device refused a page or read back otherwise: only its data decides
    } stage = armed;
    // The CRC-32 of each sector of the first MiB before the copy's first erase; none for a copy
    // first taken by a recovery.
    bool beforeKnown = false;
    uint32_t before[16] = {};
    // The CRC-32 of what the run writes into each sector of the firmware half.
    uint32_t image[8] = {};
};

// What the rest of the first MiB and the copy's records say about a copy that could be the block.
enum class Verdict {
    take,      // its update did not finish, and the block names its Kavix
    ask,       // its update did not finish, but only the label can tell
    setAside,  // its erase never began, or it has served: the device keeps its own data
};

// Why a copy is asked about, for the question's last line.
enum class Doubt { none, serialChanged, several, blankSerial, firstPagePartial, noRecord, writer };

struct Copy {
    std::string name;  // a file that holds it
    uint32_t checksum = 0;
    int32_t serialNumber = 0;
    Match match = Match::foreign;
    int64_t savedAt = 0;  // seconds since 1970, UTC; 0 for copies of earlier versions
    bool recorded = false;
    Record record;
    // A restore cut short leaves this block: pages written back, at most one torn, then erased
    // ones; `lastOnly` where every page but the last was written.
    bool cutRestore = false;
    bool cutRestoreOfLastPage = false;
    bool firstPagePartial = false;  // the block's first page is neither the copy's nor erased
    // Each sector of the block is the copy's (as saved or written back) or erased whole: what a
    // device's own erases leave, never a Kavix that differs in its serial number alone.
    bool sectorsKeptOrErased = false;
    SavedCopyStore::Writer writer;
};

struct Found {
    enum Outcome {
        none,        // no copy could be this block
        some,        // copies could be: each judged with Judge
        unreadable,  // a file that cannot be read, or the folder
    } outcome = none;
    std::vector<Copy> copies;          // newest first
    std::vector<std::string> foreign;  // copies that this block shows to be of another Kavix
    std::string unreadableName;        // empty for the folder
};

// `firmware`: the CRC-32s of sectors 0-7 as read now, or null where they are not needed.
Verdict Judge(const Copy& copy, const uint32_t* firmware);
// Why a copy is asked about rather than taken; none where nothing in itself raises a doubt.
Doubt DoubtOf(const Copy& copy);
// Whether any copy's verdict rests on the firmware half.
bool NeedsFirmwareHalf(const Found& found);

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

// Whether `bytes` are a whole copy's file in a known format whose checksum holds.
bool IsWholeCopy(const std::vector<unsigned char>& bytes);

// The checksum that names and identifies a copy of `block`.
uint32_t Checksum(const unsigned char* block);

// A copy's file: unmarked from its save, marked once its run is about to erase.
std::string FileName(int32_t serialNumber, uint32_t checksum, bool marked = true);

// Saves `block` as read from the device, unmarked, unless a marked copy with its content is kept
// already and not listed for removal (`*marked` then true); the copy's checksum into `checksum`.
bool Save(SavedCopyStore& store, const unsigned char* block, uint32_t& checksum, bool& marked);

// Marks the saved copy durably: from now on it is a copy of an update that may not finish. Where
// the rename cannot be told to have landed, no marked copy is left and false is returned.
bool Mark(SavedCopyStore& store, int32_t serialNumber, uint32_t checksum);

// Removes the unmarked copy: its run stops before the erase.
void Discard(SavedCopyStore& store, int32_t serialNumber, uint32_t checksum);

// Saves and marks: a copy as a run about to erase leaves it, with `record` if given.
bool SaveMarked(SavedCopyStore& store, const unsigned char* block, const Record* record = nullptr);

// Removes every file that holds the copy with `checksum`, and no other, after a durable mark that
// it has served (no start takes it again). The names of files that are still there afterwards; the
// mark stays for them and the next start's Tidy removes them.
std::vector<std::string> Remove(SavedCopyStore& store, int32_t serialNumber, uint32_t checksum);

// Records the copy's stage durably; false if it could not.
bool WriteRecord(SavedCopyStore& store, int32_t serialNumber, uint32_t checksum,
                 const Record& record);
// Removes the copy's record: a copy without one is asked about, never set aside.
bool RemoveRecord(SavedCopyStore& store, int32_t serialNumber, uint32_t checksum);
// The copy's record, if one is kept and written by a trusted writer.
bool ReadRecord(SavedCopyStore& store, int32_t serialNumber, uint32_t checksum, Record& record);

// Renames every file of the copy to a name that no start takes; the new names. `kept` gets the
// names that could not be renamed; the record stays for them, and the next start sets them aside.
std::vector<std::string> SetAside(SavedCopyStore& store, const Copy& copy,
                                  std::vector<std::string>& kept);

// The CRC-32 of an erased sector.
uint32_t ErasedSectorChecksum();

}  // namespace saved_copies

#endif
