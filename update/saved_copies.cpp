#include "saved_copies.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "crc32.h"
#include "flash_map.h"

using namespace flash_map;

namespace saved_copies {

namespace {

// A file: the magic, the time it was saved (seconds since 1970, UTC, 64-bit), the data block, and
// the CRC-32 of all three, little-endian. Earlier versions wrote no time, under the first magic.
// A copy is named and known by the CRC-32 of the first magic and the block, whichever it carries.
const unsigned char kMagic[8] = {'K', 'A', 'V', 'I', 'X', 'C', 'P', '1'};
const unsigned char kDatedMagic[8] = {'K', 'A', 'V', 'I', 'X', 'C', 'P', '2'};
constexpr std::size_t kTimeSize = 8;
constexpr std::size_t kBlockSize = kDataBlockSize;
constexpr std::size_t kSerialSize = 4;
constexpr int32_t kBlockPages = kDataBlockSize / kPageSize;

// A record: its magic, the stage, whether `before` is known, the 16 + 8 CRC-32s, and the CRC-32 of
// all that.
const unsigned char kRecordMagic[8] = {'K', 'A', 'V', 'I', 'X', 'R', 'C', '1'};
constexpr std::size_t kRecordSize = sizeof kRecordMagic + 2 + 24 * 4 + 4;

const char kPrefix[] = "Kavix-";
// Saved, not yet marked: no erase followed it.
const char kUnmarkedSuffix[] = ".saved";
// Marked: its run was about to erase.
const char kSuffix[] = ".copy";
// Beside a copy that a finished update could not remove, naming it for the next start.
const char kFinishedSuffix[] = ".copy.finished";
const char kTemporarySuffix[] = ".tmp";
// Beside a marked copy: how far its run got.
const char kRecordSuffix[] = ".copy.record";
// A copy that no start takes: its erase never began, or it had served.
const char kAsideSuffix[] = ".copy.aside";

bool EndsWith(const std::string& name, const char* end) {
    const std::size_t size = std::strlen(end);
    return name.size() >= size && name.compare(name.size() - size, size, end) == 0;
}

bool IsOurs(const std::string& name) {
    return name.compare(0, sizeof kPrefix - 1, kPrefix) == 0;
}

// The checksum in a name as this program gives it, "Kavix-<serial>-<checksum><suffix>": the eight
// hex digits before the suffix, and the serial number if asked. False for any other name.
bool ChecksumInName(const std::string& name, const char* suffix, uint32_t& checksum,
                    int32_t* serialNumber = nullptr) {
    const std::size_t size = std::strlen(suffix);
    const std::size_t prefix = sizeof kPrefix - 1;
    if (!IsOurs(name) || !EndsWith(name, suffix) || name.size() < prefix + size + 10) {
        return false;
    }
    const std::size_t hex = name.size() - size - 8;
    const std::string serial = name.substr(prefix, hex - 1 - prefix);
    const std::size_t digits = serial.find_first_not_of('-') == 1 ? 1 : 0;
    const auto isHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    const auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    if (name[hex - 1] != '-' || serial.size() <= digits ||
        !std::all_of(serial.begin() + long(digits), serial.end(), isDigit) ||
        !std::all_of(name.begin() + long(hex), name.end() - long(size), isHex)) {
        return false;
    }
    checksum = uint32_t(std::strtoul(name.substr(hex, 8).c_str(), nullptr, 16));
    if (serialNumber != nullptr) {
        *serialNumber = int32_t(std::strtol(serial.c_str(), nullptr, 10));
    }
    return true;
}

// A mark that a copy has served; one that an untrusted writer left hides and removes nothing.
bool FinishedChecksum(SavedCopyStore& store, const std::string& name, uint32_t& checksum,
                      int32_t* serialNumber = nullptr) {
    return ChecksumInName(name, kFinishedSuffix, checksum, serialNumber) &&
           store.WriterOf(name).trusted;
}

std::string Named(int32_t serialNumber, uint32_t checksum, const char* suffix) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%ld-%08lx%s", kPrefix, long(serialNumber),
                  static_cast<unsigned long>(checksum), suffix);
    return name;
}

using BlockPiece = std::function<void(std::size_t offset, const unsigned char* data, std::size_t)>;

void PutLittleEndian(unsigned char* at, uint64_t value, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        at[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

uint64_t LittleEndian(const unsigned char* at, std::size_t size) {
    uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        value |= uint64_t(at[i]) << (8 * i);
    }
    return value;
}

// Reads a copy a piece at a time, handing on the pieces of its data block. True if the file is
// whole and checks; `checksum` is then its content's checksum and `savedAt` its time (0 if it has
// none). Pieces come before the check: a caller uses what it got only on true.
bool ReadCopy(SavedCopyStore& store, const std::string& name, const BlockPiece& onBlock,
              uint32_t& checksum, int64_t* savedAt = nullptr) {
    unsigned char head[sizeof kMagic + kTimeSize] = {};
    unsigned char stored[4] = {};
    std::size_t headSize = sizeof kMagic;
    std::size_t at = 0;
    uint32_t crc = 0;
    uint32_t content = Crc32(0, kMagic, sizeof kMagic);
    const bool read = store.Read(name, [&](const unsigned char* data, std::size_t size) {
        while (size > 0) {
            std::size_t n = 0;
            if (at < headSize) {
                n = std::min(size, headSize - at);
                std::memcpy(head + at, data, n);
                crc = Crc32(crc, data, n);
                if (at + n == sizeof kMagic &&
                    std::memcmp(head, kDatedMagic, sizeof kDatedMagic) == 0) {
                    headSize += kTimeSize;
                }
            } else if (at < headSize + kBlockSize) {
                n = std::min(size, headSize + kBlockSize - at);
                onBlock(at - headSize, data, n);
                crc = Crc32(crc, data, n);
                content = Crc32(content, data, n);
            } else if (at < headSize + kBlockSize + 4) {
                n = std::min(size, headSize + kBlockSize + 4 - at);
                std::memcpy(stored + (at - headSize - kBlockSize), data, n);
            } else {
                return false;  // longer than a copy
            }
            at += n;
            data += n;
            size -= n;
        }
        return true;
    });
    checksum = content;
    const bool dated = headSize > sizeof kMagic;
    if (savedAt != nullptr) {
        *savedAt = dated ? int64_t(LittleEndian(head + sizeof kMagic, kTimeSize)) : 0;
    }
    return read && at == headSize + kBlockSize + 4 &&
           (dated || std::memcmp(head, kMagic, sizeof kMagic) == 0) &&
           crc == uint32_t(LittleEndian(stored, 4));
}

// Whether `name` is a whole copy that checks, without keeping its block; its checksum into
// `checksum`.
bool Checks(SavedCopyStore& store, const std::string& name, uint32_t& checksum) {
    return ReadCopy(
        store, name, [](std::size_t, const unsigned char*, std::size_t) {}, checksum);
}

// Compares a copy, a piece at a time, with the whole block read from the device.
class Comparison {
public:
    explicit Comparison(const unsigned char* block) : block(block), pages(kBlockPages, 0) {}

    void Add(std::size_t offset, const unsigned char* copy, std::size_t size) {
        std::size_t i = 0;
        for (; i < size && offset + i < std::size_t(kPageSize); ++i) {
            firstPage[offset + i] = copy[i];  // judged at the end, once the version is known
        }
        // Past the first page the copy is what is written back: eight bytes a step.
        for (; i < size; i += sizeof(uint64_t)) {
            uint64_t c = ~uint64_t(0);
            uint64_t b = ~uint64_t(0);
            const std::size_t n = std::min(size - i, sizeof(uint64_t));
            std::memcpy(&c, copy + i, n);
            std::memcpy(&b, block + offset + i, n);
            unsigned char& page = pages[(offset + i) / kPageSize];
            page |= (b != c ? kNotCopy : 0) | (b != ~uint64_t(0) ? kNotErased : 0) |
                    ((c & ~b) != 0 ? kBeyondCopy : 0);
            if (b != c) {
                equal = false;
                differsBeyondSerial = true;
                // A 0-bit where the copy has a 1: programming writes only the copy, and the erase
                // turns bits to 1.
                reachable = reachable && (c & ~b) == 0;
            }
        }
    }

    Match Result() {
        unsigned char writtenBack[kPageSize];
        std::memcpy(writtenBack, firstPage, sizeof writtenBack);
        RaiseFirmwareVersion(writtenBack);
        bool serialDiffers = false;
        bool serialErased = false;
        for (std::size_t at = 0; at < std::size_t(kPageSize); ++at) {
            const unsigned char c = firstPage[at];
            const unsigned char r = writtenBack[at];
            const unsigned char b = block[at];
            pages[0] |= (b != r ? kNotCopy : 0) | (b != 0xFF ? kNotErased : 0) |
                        ((r & ~b) != 0 ? kBeyondCopy : 0);
            equal = equal && b == c;
            // Before the restore the page held the copy, after it the copy as written back.
            reachable = reachable && (c & r & ~b) == 0;
            if (b == c || b == r) {
                continue;
            }
            if (at >= std::size_t(kSerialNumberOffset) &&
                at < std::size_t(kSerialNumberOffset) + kSerialSize) {
                serialDiffers = true;
                serialErased = serialErased || b == 0xFF;
            } else {
                differsBeyondSerial = true;
            }
        }
        if (equal) {
            return Match::intact;
        }
        if (!reachable) {
            return Match::foreign;
        }
        if (!serialDiffers) {
            return Match::cut;
        }
        // A cut erase or a torn page leaves its marks across a whole sector or page, never in a
        // few bits of the serial number alone: that is another Kavix of the same batch.
        if (!differsBeyondSerial && !serialErased) {
            return Match::foreign;
        }
        return Match::unlabelled;
    }

    int32_t SerialNumber() const { return SerialNumberOf(firstPage); }

    // Fills in what the pages say: once Result has run.
    void Describe(Copy& copy) const {
        int32_t firstNotWritten = 0;
        while (firstNotWritten < kRestoredPages && (pages[firstNotWritten] & kNotCopy) == 0) {
            ++firstNotWritten;
        }
        bool cut = firstNotWritten == kRestoredPages ||
                   (pages[firstNotWritten] & kBeyondCopy) == 0;  // torn or erased
        for (int32_t page = firstNotWritten + 1; page < kBlockPages && cut; ++page) {
            cut = (pages[page] & kNotErased) == 0;
        }
        for (int32_t page = kRestoredPages; page < kBlockPages && cut; ++page) {
            cut = (pages[page] & kNotErased) == 0;
        }
        copy.cutRestore = cut;
        copy.cutRestoreOfLastPage = cut && firstNotWritten >= kRestoredPages - 1;
        const bool asCopy = std::memcmp(block, firstPage, size_t(kPageSize)) == 0;
        copy.firstPagePartial =
            !asCopy && (pages[0] & kNotCopy) != 0 && (pages[0] & kNotErased) != 0;
        constexpr int32_t kSectorPages = kSectorSize / kPageSize;
        copy.sectorsKeptOrErased = true;
        for (int32_t first = 0; first < kBlockPages; first += kSectorPages) {
            bool kept = true;
            bool erased = true;
            for (int32_t page = first; page < first + kSectorPages; ++page) {
                // The write-back leaves the pages past its span erased.
                kept = kept && ((pages[page] & kNotCopy) == 0 || (page == 0 && asCopy) ||
                                (page >= kRestoredPages && (pages[page] & kNotErased) == 0));
                erased = erased && (pages[page] & kNotErased) == 0;
            }
            copy.sectorsKeptOrErased = copy.sectorsKeptOrErased && (kept || erased);
        }
    }

private:
    static constexpr unsigned char kNotCopy = 1;     // the page is not what is written back
    static constexpr unsigned char kNotErased = 2;   // some bit of it is 0
    static constexpr unsigned char kBeyondCopy = 4;  // a 0-bit that what is written back lacks

    const unsigned char* block;
    std::vector<unsigned char> pages;
    unsigned char firstPage[kPageSize] = {};
    bool equal = true;
    bool reachable = true;
    bool differsBeyondSerial = false;
};

}  // namespace

// Copies made by Explorer ("Kavix-1 - Copy.copy") count too: the content decides, not the name.
bool IsCopyName(const std::string& name) {
    return IsOurs(name) && EndsWith(name, kSuffix);
}

bool IsWholeCopy(const std::vector<unsigned char>& bytes) {
    // The bytes as the one file of a store, read by the same reader as every copy.
    class Held : public SavedCopyStore {
    public:
        explicit Held(const std::vector<unsigned char>& bytes) : bytes(bytes) {}
        bool Write(const std::string&, std::initializer_list<ByteSpan>) override { return false; }
        bool Names(std::vector<std::string>& names) override {
            names.clear();
            return true;
        }
        bool Read(const std::string&, const Consumer& consume) override {
            return consume(bytes.data(), bytes.size());
        }
        bool Rename(const std::string&, const std::string&) override { return false; }
        bool Remove(const std::string&) override { return false; }
        std::string Where() override { return std::string(); }

    private:
        const std::vector<unsigned char>& bytes;
    } held(bytes);
    uint32_t checksum = 0;
    return !bytes.empty() && Checks(held, std::string(), checksum);
}

Match Compare(const unsigned char* copy, const unsigned char* block) {
    Comparison comparison(block);
    comparison.Add(0, copy, kBlockSize);
    return comparison.Result();
}

void Tidy(SavedCopyStore& store) {
    std::vector<std::string> names;
    store.Names(names);
    for (const std::string& name : names) {
        uint32_t finished = 0;
        int32_t serialNumber = 0;
        if (IsOurs(name) && (EndsWith(name, kUnmarkedSuffix) || EndsWith(name, kTemporarySuffix))) {
            store.Remove(name);
        } else if (FinishedChecksum(store, name, finished, &serialNumber)) {
            Remove(store, serialNumber, finished);
        }
    }
    // A record outlives its copy only where a cut came between their removals, or before a mark.
    store.Names(names);
    for (const std::string& name : names) {
        uint32_t checksum = 0;
        if (ChecksumInName(name, kRecordSuffix, checksum)) {
            const std::string copy =
                name.substr(0, name.size() - std::strlen(kRecordSuffix)) + kSuffix;
            if (std::find(names.begin(), names.end(), copy) == names.end()) {
                store.Remove(name);
            }
        }
    }
}

Found Find(SavedCopyStore& store, const unsigned char* block) {
    static_assert(kFirmwareVersionOffset + 2 <= kPageSize, "the version lies in the first page");
    Found found;
    std::vector<std::string> names;
    if (!store.Names(names)) {
        found.outcome = Found::unreadable;
        return found;
    }
    std::sort(names.begin(), names.end());
    // Copies whose device was finished, though they could not be removed.
    std::vector<uint32_t> finished;
    for (const std::string& name : names) {
        uint32_t checksum = 0;
        if (FinishedChecksum(store, name, checksum)) {
            finished.push_back(checksum);
        }
    }
    for (const std::string& name : names) {
        if (!IsCopyName(name)) {
            continue;
        }
        Comparison comparison(block);
        Copy copy;
        if (!ReadCopy(
                store, name,
                [&](std::size_t at, const unsigned char* data, std::size_t size) {
                    comparison.Add(at, data, size);
                },
                copy.checksum, &copy.savedAt)) {
            found.outcome = Found::unreadable;
            found.unreadableName = name;
            return found;
        }
        copy.match = comparison.Result();
        const auto same = [&](const Copy& other) { return other.checksum == copy.checksum; };
        if (std::count(finished.begin(), finished.end(), copy.checksum) > 0 ||
            std::any_of(found.copies.begin(), found.copies.end(), same)) {
            continue;
        }
        if (copy.match == Match::foreign) {
            found.foreign.push_back(name);
            continue;
        }
        copy.name = name;
        copy.serialNumber = comparison.SerialNumber();
        comparison.Describe(copy);
        copy.writer = store.WriterOf(name);
        copy.recorded = ReadRecord(store, copy.serialNumber, copy.checksum, copy.record);
        found.copies.push_back(copy);
    }
    // Newest first; copies of earlier versions carry no time and come last. Of copies saved in one
    // second, those whose serial number the block still reads come first: the device's own label.
    std::stable_sort(found.copies.begin(), found.copies.end(), [](const Copy& a, const Copy& b) {
        return a.savedAt != b.savedAt
                   ? a.savedAt > b.savedAt
                   : a.match != Match::unlabelled && b.match == Match::unlabelled;
    });
    found.outcome = found.copies.empty() ? Found::none : Found::some;
    return found;
}

Doubt DoubtOf(const Copy& copy) {
    if (!copy.writer.trusted) {
        return Doubt::writer;
    }
    if (!copy.recorded) {
        return Doubt::noRecord;
    }
    if (copy.serialNumber == -1) {
        return Doubt::blankSerial;
    }
    if (copy.firstPagePartial) {
        return Doubt::firstPagePartial;
    }
    return copy.match == Match::unlabelled ? Doubt::serialChanged : Doubt::none;
}

uint32_t ErasedSectorChecksum() {
    static const uint32_t erased = [] {
        const std::vector<unsigned char> sector(std::size_t(kSectorSize), 0xFF);
        return Crc32(0, sector.data(), sector.size());
    }();
    return erased;
}

bool NeedsFirmwareHalf(const Found& found) {
    return std::any_of(found.copies.begin(), found.copies.end(),
                       [](const Copy& copy) { return copy.recorded && copy.writer.trusted; });
}

// The device model (docs/architecture.md): an erase clears sectors in ascending order or all at
// once, writes go in page order, and a device changes its own data only in its data block.
Verdict Judge(const Copy& copy, const uint32_t* firmware) {
    if (copy.recorded && copy.writer.trusted && firmware != nullptr && copy.sectorsKeptOrErased) {
        const Record& record = copy.record;
        if (record.stage == Record::armed && record.beforeKnown &&
            std::equal(firmware, firmware + 8, record.before) &&
            !std::all_of(record.before, record.before + 8,
                         [](uint32_t crc) { return crc == ErasedSectorChecksum(); })) {
            // An erase leaves its trace in the firmware half first: it never began.
            return Verdict::setAside;
        }
        if ((record.stage == Record::erased || record.stage == Record::written) &&
            std::equal(firmware, firmware + 8, record.image) &&
            !(record.stage == Record::written ? copy.cutRestoreOfLastPage : copy.cutRestore)) {
            // The run wrote its image, and the block is no state a cut of the write-back leaves:
            // the copy served, and the device has changed its data since.
            return Verdict::setAside;
        }
    }
    return DoubtOf(copy) == Doubt::none ? Verdict::take : Verdict::ask;
}

bool Load(SavedCopyStore& store, const std::string& name, unsigned char* block) {
    uint32_t checksum = 0;
    return ReadCopy(
        store, name,
        [block](std::size_t at, const unsigned char* data, std::size_t size) {
            std::memcpy(block + at, data, size);
        },
        checksum);
}

uint32_t Checksum(const unsigned char* block) {
    return Crc32(Crc32(0, kMagic, sizeof kMagic), block, kBlockSize);
}

std::string FileName(int32_t serialNumber, uint32_t checksum, bool marked) {
    return Named(serialNumber, checksum, marked ? kSuffix : kUnmarkedSuffix);
}

bool Save(SavedCopyStore& store, const unsigned char* block, uint32_t& checksum, bool& marked) {
    const uint32_t crc = Checksum(block);
    const int32_t serialNumber = SerialNumberOf(block);
    checksum = crc;
    uint32_t kept = 0;
    std::vector<std::string> names;
    store.Names(names);
    const std::string finishedMark = Named(serialNumber, crc, kFinishedSuffix);
    const bool listed = std::count(names.begin(), names.end(), finishedMark) > 0;
    // A copy listed for removal has served: a live copy of this content is written anew, once the
    // served one is gone, so that no mark stands against it.
    if (listed && (!Remove(store, serialNumber, crc).empty() || !store.Remove(finishedMark))) {
        return false;
    }
    marked = !listed && Checks(store, FileName(serialNumber, crc), kept) && kept == crc;
    if (marked) {
        return true;
    }
    unsigned char head[sizeof kDatedMagic + kTimeSize];
    std::memcpy(head, kDatedMagic, sizeof kDatedMagic);
    PutLittleEndian(head + sizeof kDatedMagic, uint64_t(std::time(nullptr)), kTimeSize);
    const uint32_t fileCrc = Crc32(Crc32(0, head, sizeof head), block, kBlockSize);
    unsigned char stored[4];
    PutLittleEndian(stored, fileCrc, sizeof stored);
    return store.Write(FileName(serialNumber, crc, false),
                       {{head, sizeof head}, {block, kBlockSize}, {stored, sizeof stored}});
}

bool Mark(SavedCopyStore& store, int32_t serialNumber, uint32_t checksum) {
    const std::string marked = FileName(serialNumber, checksum);
    if (store.Rename(FileName(serialNumber, checksum, false), marked)) {
        return true;
    }
    // It may have landed all the same: no marked copy may stay for a run that will not erase.
    store.Remove(marked);
    return false;
}

void Discard(SavedCopyStore& store, int32_t serialNumber, uint32_t checksum) {
    store.Remove(FileName(serialNumber, checksum, false));
}

bool SaveMarked(SavedCopyStore& store, const unsigned char* block, const Record* record) {
    uint32_t checksum = 0;
    bool marked = false;
    return Save(store, block, checksum, marked) &&
           (record == nullptr || WriteRecord(store, SerialNumberOf(block), checksum, *record)) &&
           (marked || Mark(store, SerialNumberOf(block), checksum));
}

namespace {

// Whether `name` holds the copy with `checksum`. A name as this program gives it tells the
// content; others (Explorer's copies of a copy) are read to know.
bool HoldsCopy(SavedCopyStore& store, const std::string& name, uint32_t checksum) {
    uint32_t crc = 0;
    const bool named = ChecksumInName(name, kSuffix, crc);
    return IsCopyName(name) && (named || Checks(store, name, crc)) && crc == checksum;
}

}  // namespace

std::vector<std::string> Remove(SavedCopyStore& store, int32_t serialNumber, uint32_t checksum) {
    std::vector<std::string> names;
    std::vector<std::string> left;
    const std::string finishedMark = Named(serialNumber, checksum, kFinishedSuffix);
    store.Names(names);
    if (std::count(names.begin(), names.end(), finishedMark) == 0) {
        // Before any copy goes: a cut from here on leaves a copy that no start takes again.
        store.Write(finishedMark, {});
    }
    for (const std::string& name : names) {
        if (HoldsCopy(store, name, checksum) && !store.Remove(name)) {
            left.push_back(name);
        }
    }
    if (left.empty() && RemoveRecord(store, serialNumber, checksum)) {
        store.Remove(finishedMark);
    }
    return left;
}

bool WriteRecord(SavedCopyStore& store, int32_t serialNumber, uint32_t checksum,
                 const Record& record) {
    unsigned char bytes[kRecordSize];
    unsigned char* at = bytes;
    std::memcpy(at, kRecordMagic, sizeof kRecordMagic);
    at += sizeof kRecordMagic;
    *at++ = record.stage;
    *at++ = record.beforeKnown ? 1 : 0;
    for (uint32_t crc : record.before) {
        PutLittleEndian(at, crc, 4);
        at += 4;
    }
    for (uint32_t crc : record.image) {
        PutLittleEndian(at, crc, 4);
        at += 4;
    }
    PutLittleEndian(at, Crc32(0, bytes, std::size_t(at - bytes)), 4);
    return store.Write(Named(serialNumber, checksum, kRecordSuffix), {{bytes, sizeof bytes}});
}

bool RemoveRecord(SavedCopyStore& store, int32_t serialNumber, uint32_t checksum) {
    return store.Remove(Named(serialNumber, checksum, kRecordSuffix));
}

bool ReadRecord(SavedCopyStore& store, int32_t serialNumber, uint32_t checksum, Record& record) {
    const std::string name = Named(serialNumber, checksum, kRecordSuffix);
    unsigned char bytes[kRecordSize];
    std::size_t size = 0;
    const bool read = store.Read(name, [&](const unsigned char* data, std::size_t n) {
        if (size + n > sizeof bytes) {
            return false;
        }
        std::memcpy(bytes + size, data, n);
        size += n;
        return true;
    });
    if (!read || size != sizeof bytes ||
        std::memcmp(bytes, kRecordMagic, sizeof kRecordMagic) != 0 ||
        LittleEndian(bytes + kRecordSize - 4, 4) != Crc32(0, bytes, kRecordSize - 4) ||
        bytes[8] < Record::armed || bytes[8] > Record::failed || !store.WriterOf(name).trusted) {
        return false;
    }
    record.stage = Record::Stage(bytes[8]);
    record.beforeKnown = bytes[9] != 0;
    const unsigned char* at = bytes + 10;
    for (uint32_t& crc : record.before) {
        crc = uint32_t(LittleEndian(at, 4));
        at += 4;
    }
    for (uint32_t& crc : record.image) {
        crc = uint32_t(LittleEndian(at, 4));
        at += 4;
    }
    return true;
}

std::vector<std::string> SetAside(SavedCopyStore& store, const Copy& copy,
                                  std::vector<std::string>& kept) {
    std::vector<std::string> names;
    std::vector<std::string> aside;
    kept.clear();
    store.Names(names);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (!HoldsCopy(store, name, copy.checksum)) {
            continue;
        }
        const std::string to = name.substr(0, name.size() - std::strlen(kSuffix)) + kAsideSuffix;
        if (store.Rename(name, to)) {
            aside.push_back(to);
        } else {
            kept.push_back(name);
        }
    }
    // A copy left without its record is asked about at the next start, with a reason that is
    // not so.
    if (kept.empty()) {
        RemoveRecord(store, copy.serialNumber, copy.checksum);
    }
    return aside;
}

}  // namespace saved_copies
