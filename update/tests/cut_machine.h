// A computer and its Kavix in memory, on one power supply that a test can cut in the middle of any
// device call or disk write, as NOR flash and a disk are left by a power loss: a page write cut
// part-way holds some of its new 0-bits, an erase cut part-way leaves sectors erased, untouched or
// partly erased (some bits turned to 1), sector by sector or all at once, and a file being written
// holds only its beginning. After the cut nothing works until the next start.
#ifndef ORVFLASH_UPDATE_TESTS_CUT_MACHINE_H
#define ORVFLASH_UPDATE_TESTS_CUT_MACHINE_H

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>

#include "bytes.h"
#include "saved_copy_store.h"

class CutMachine {
public:
    // The machine behind the device library's five functions; one at a time.
    explicit CutMachine(std::mt19937_64& random);
    ~CutMachine();

    // A new start of the computer: power on, operations counted from 0, nothing armed.
    void PowerOn();
    // The power goes in the middle of operation `operation` (device calls and disk writes, counted
    // from 0 since PowerOn).
    void CutAt(long operation) { cutAt = operation; }
    // The power goes in the middle of the erase, or of the write of `page`.
    void CutInErase() { cutInErase = true; }
    void CutAtPage(int32_t page) { cutAtPage = page; }
    // The power goes in the middle of the `n`th disk write, rename or removal since PowerOn
    // (from 1), or at the operation right after it.
    void CutAtDiskOperation(int n, bool after) {
        cutAtDisk = n;
        cutAfterDisk = after;
    }

    Bytes flash;
    std::map<std::string, Bytes> files;
    // The device acknowledges a write of this page but does not program it.
    std::optional<int32_t> lyingPage;
    // The erase fails and changes nothing, or says it erased everything but leaves this sector.
    bool eraseFails = false;
    std::optional<int32_t> eraseSkipsSector;
    // A cut erase leaves the serial number reading this one's: the erase turned bits to 1 in it.
    std::optional<int32_t> cutEraseLeavesSerial;
    // The `n`th read after a page write since PowerOn (from 1) fails, or the power goes in it.
    std::optional<int> readBackFailsAt;
    std::optional<int> readBackCutAt;
    // Files that an account the program does not trust wrote.
    std::set<std::string> untrusted;
    // Attached in place of `flash` just before this read (counted from 1 since the open).
    std::optional<int> swapBeforeRead;
    Bytes swapTo;

    int32_t Open(int32_t* handle);
    int32_t Read(int32_t sector, unsigned char* destination);
    int32_t Erase();
    int32_t Write(int32_t page, const unsigned char* source);

    // The disk that holds the copies, as an update run keeps them.
    std::unique_ptr<SavedCopyStore> Disk();

private:
    class MemoryDisk;

    // Counts an operation; false once the power is off. `cut` is set for the one the cut meets,
    // which is this one if `here`.
    bool Admit(bool& cut, bool here = false);
    // Admit for the disk.
    bool AdmitDisk(bool& cut);
    // Some bits of each byte set, more or fewer from one cut to the next.
    void SetSomeBits(unsigned char* bytes, std::size_t size);

    std::mt19937_64& random;
    long cutAt = -1;
    bool cutInErase = false;
    std::optional<int32_t> cutAtPage;
    long operations = 0;
    bool off = false;
    int reads = 0;
    int cutAtDisk = 0;
    bool cutAfterDisk = false;
    int diskOperations = 0;
    int readsAfterWrites = 0;
    bool written = false;
};

#endif
