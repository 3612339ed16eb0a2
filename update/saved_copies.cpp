#include "saved_copies.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "crc32.h"
#include "flash_map.h"

using namespace flash_map;

namespace saved_copies {

namespace {

// A file: the magic, the data block, and the CRC-32 of both, little-endian.
const unsigned char kMagic[8] = {'K', 'A', 'V', 'I', 'X', 'C', 'P', '1'};
constexpr std::size_t kBlockSize = kDataBlockSize;
constexpr std::size_t kFileSize = sizeof kMagic + kBlockSize + 4;
constexpr std::size_t kSerialSize = 4;

const char kPrefix[] = "Kavix-";
// Saved, not yet marked: no erase followed it.
const char kUnmarkedSuffix[] = ".saved";
// Marked: its run was about to erase.
const char kSuffix[] = ".copy";
// Beside a copy that a finished update could not remove, naming it for the next start.
const char kFinishedSuffix[] = ".copy.finished";
const char kTemporarySuffix[] = ".tmp";

bool EndsWith(const std::string& name, const char* end) {
    const std::size_t size = std::strlen(end);
    return name.size() >= size && name.compare(name.size() - size, size, end) == 0;
}

bool IsOurs(const std::string& name) {
    return name.compare(0, sizeof kPrefix - 1, kPrefix) == 0;
}

// The checksum in a name as this program gives it, "Kavix-<serial>-<checksum><suffix>": the eight
// hex digits before the suffix. False for any other name.
bool ChecksumInName(const std::string& name, const char* suffix, uint32_t& checksum) {
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
    return true;
}

bool FinishedChecksum(const std::string& name, uint32_t& checksum) {
    return ChecksumInName(name, kFinishedSuffix, checksum);
}

std::string Named(int32_t serialNumber, uint32_t checksum, const char* suffix) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%ld-%08lx%s", kPrefix, long(serialNumber),
                  static_cast<unsigned long>(checksum), suffix);
    return name;
}

using BlockPiece = std::function<void(std::size_t offset, const unsigned char* data, std::size_t)>;

// Reads a copy a piece at a time, handing on the pieces of its data block. True if the file is
// whole and checks; `checksum` is then its checksum. Pieces come before the check: a caller uses
// what it got only on true.
bool ReadCopy(SavedCopyStore& store, const std::string& name, const BlockPiece& onBlock,
              uint32_t& checksum) {
    unsigned char head[sizeof kMagic] = {};
    unsigned char stored[4] = {};
    std::size_t at = 0;
    uint32_t crc = 0;
    const bool read = store.Read(name, [&](const unsigned char* data, std::size_t size) {
        while (size > 0) {
            std::size_t n = 0;
            if (at < sizeof kMagic) {
                n = std::min(size, sizeof kMagic - at);
                std::memcpy(head + at, data, n);
                crc = Crc32(crc, data, n);
            } else if (at < sizeof kMagic + kBlockSize) {
                n = std::min(size, sizeof kMagic + kBlockSize - at);
                onBlock(at - sizeof kMagic, data, n);
                crc = Crc32(crc, data, n);
            } else if (at < kFileSize) {
                n = std::min(size, kFileSize - at);
                std::memcpy(stored + (at - sizeof kMagic - kBlockSize), data, n);
            } else {
                return false;  // longer than a copy
            }
            at += n;
            data += n;
            size -= n;
        }
        return true;
    });
    checksum = crc;
    return read && at == kFileSize && std::memcmp(head, kMagic, sizeof kMagic) == 0 &&
           crc == (uint32_t(stored[0]) | uint32_t(stored[1]) << 8 | uint32_t(stored[2]) << 16 |
                   uint32_t(stored[3]) << 24);
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
    explicit Comparison(const unsigned char* block) : block(block) {}

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

private:
    const unsigned char* block;
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
        if (IsOurs(name) && (EndsWith(name, kUnmarkedSuffix) || EndsWith(name, kTemporarySuffix))) {
            store.Remove(name);
        } else if (FinishedChecksum(name, finished) && Remove(store, finished).empty()) {
            store.Remove(name);
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
        if (FinishedChecksum(name, checksum)) {
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
                copy.checksum)) {
            found.outcome = Found::unreadable;
            found.unreadableName = name;
            return found;
        }
        copy.match = comparison.Result();
        const auto same = [&](const Copy& other) { return other.checksum == copy.checksum; };
        if (copy.match == Match::foreign ||
            std::count(finished.begin(), finished.end(), copy.checksum) > 0 ||
            std::any_of(found.copies.begin(), found.copies.end(), same)) {
            continue;
        }
        copy.name = name;
        copy.serialNumber = comparison.SerialNumber();
        found.copies.push_back(copy);
    }
    if (found.copies.empty()) {
        return found;
    }
    // Copies whose serial number the block still reads come first: the device's own label.
    std::stable_partition(found.copies.begin(), found.copies.end(),
                          [](const Copy& copy) { return copy.match != Match::unlabelled; });
    for (std::size_t i = 1; i < found.copies.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            // The label names a Kavix, not one of its copies.
            if (found.copies[i].serialNumber == found.copies[j].serialNumber) {
                found.copies.clear();
                found.outcome = Found::several;
                return found;
            }
        }
    }
    // Where more than one copy could explain the block, the serial number it reads is no evidence:
    // a cut erase turns bits of one serial number into another's.
    found.outcome = found.copies.size() == 1 && found.copies[0].match != Match::unlabelled
                        ? Found::take
                        : Found::ask;
    return found;
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
    checksum = crc;
    uint32_t kept = 0;
    marked = Checks(store, FileName(SerialNumberOf(block), crc), kept) && kept == crc;
    if (marked) {
        return true;
    }
    const unsigned char stored[4] = {
        static_cast<unsigned char>(crc), static_cast<unsigned char>(crc >> 8),
        static_cast<unsigned char>(crc >> 16), static_cast<unsigned char>(crc >> 24)};
    return store.Write(FileName(SerialNumberOf(block), crc, false),
                       {{kMagic, sizeof kMagic}, {block, kBlockSize}, {stored, sizeof stored}});
}

bool Mark(SavedCopyStore& store, int32_t serialNumber, uint32_t checksum) {
    return store.Rename(FileName(serialNumber, checksum, false), FileName(serialNumber, checksum));
}

void Discard(SavedCopyStore& store, int32_t serialNumber, uint32_t checksum) {
    store.Remove(FileName(serialNumber, checksum, false));
}

bool SaveMarked(SavedCopyStore& store, const unsigned char* block) {
    uint32_t checksum = 0;
    bool marked = false;
    return Save(store, block, checksum, marked) &&
           (marked || Mark(store, SerialNumberOf(block), checksum));
}

std::vector<std::string> Remove(SavedCopyStore& store, uint32_t checksum) {
    std::vector<std::string> names;
    std::vector<std::string> left;
    store.Names(names);
    for (const std::string& name : names) {
        // A name as this program gives it tells the content; others (Explorer's copies of a copy)
        // are read to know.
        uint32_t crc = 0;
        const bool named = ChecksumInName(name, kSuffix, crc);
        if (IsCopyName(name) && (named || Checks(store, name, crc)) && crc == checksum &&
            !store.Remove(name)) {
            left.push_back(name);
        }
    }
    if (!left.empty()) {
        // The next start removes them, and meanwhile never takes them for an unfinished update.
        store.Write(Named(0, checksum, kFinishedSuffix), {});
    }
    return left;
}

}  // namespace saved_copies
