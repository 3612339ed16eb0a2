#include "saved_copies.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "crc32.h"
#include "flash_map.h"

using namespace flash_map;

namespace saved_copies {

namespace {

// A file: the magic, the data block, and the CRC-32 of both, little-endian.
const unsigned char kMagic[8] = {'K', 'A', 'V', 'I', 'X', 'C', 'P', '1'};
constexpr std::size_t kFileSize = sizeof kMagic + kDataBlockSize + 4;

const char kPrefix[] = "Kavix-";
const char kSuffix[] = ".copy";

bool IsCopyName(const std::string& name) {
    const std::size_t prefix = sizeof kPrefix - 1;
    const std::size_t suffix = sizeof kSuffix - 1;
    return name.size() > prefix + suffix && name.compare(0, prefix, kPrefix) == 0 &&
           name.compare(name.size() - suffix, suffix, kSuffix) == 0;
}

uint32_t Checksum(const unsigned char* block) {
    return Crc32(Crc32(0, kMagic, sizeof kMagic), block, kDataBlockSize);
}

// The data block of a whole file, or null.
const unsigned char* BlockOf(const std::vector<unsigned char>& file) {
    if (file.size() != kFileSize || std::memcmp(file.data(), kMagic, sizeof kMagic) != 0) {
        return nullptr;
    }
    const unsigned char* block = file.data() + sizeof kMagic;
    const unsigned char* stored = block + kDataBlockSize;
    const uint32_t crc = uint32_t(stored[0]) | uint32_t(stored[1]) << 8 |
                         uint32_t(stored[2]) << 16 | uint32_t(stored[3]) << 24;
    return crc == Checksum(block) ? block : nullptr;
}

bool IsErased(const unsigned char* bytes, std::size_t size) {
    return std::all_of(bytes, bytes + size, [](unsigned char b) { return b == 0xFF; });
}

}  // namespace

std::string FileName(int32_t serialNumber) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%ld%s", kPrefix, long(serialNumber), kSuffix);
    return name;
}

bool Save(SavedCopyStore& store, const unsigned char* block) {
    const uint32_t crc = Checksum(block);
    const unsigned char stored[4] = {
        static_cast<unsigned char>(crc), static_cast<unsigned char>(crc >> 8),
        static_cast<unsigned char>(crc >> 16), static_cast<unsigned char>(crc >> 24)};
    return store.Write(FileName(SerialNumberOf(block)),
                       {{kMagic, sizeof kMagic}, {block, kDataBlockSize}, {stored, sizeof stored}});
}

void Remove(SavedCopyStore& store, int32_t serialNumber) {
    store.Remove(FileName(serialNumber));
}

bool Applies(const unsigned char* copy, const unsigned char* block) {
    // A copy that holds nothing but erased bytes has nothing to give back, and would match any
    // device whose block reads erased.
    if (IsErased(copy, kDataBlockSize)) {
        return false;
    }
    unsigned char writtenBack[kPageSize];
    for (int32_t at = 0; at < kDataBlockSize; at += kPageSize) {
        const unsigned char* page = block + at;
        if (std::memcmp(page, copy + at, kPageSize) == 0 || IsErased(page, kPageSize)) {
            continue;
        }
        // Only the page that holds the version differs once written back.
        if (at != 0) {
            return false;
        }
        std::memcpy(writtenBack, copy, kPageSize);
        RaiseFirmwareVersion(writtenBack);
        if (std::memcmp(page, writtenBack, kPageSize) != 0) {
            return false;
        }
    }
    return true;
}

Applying FindApplying(SavedCopyStore& store, const unsigned char* block) {
    static_assert(kFirmwareVersionOffset + 2 <= kPageSize, "the version lies in the first page");
    Applying found;
    std::vector<unsigned char> file;
    for (const std::string& name : store.Names()) {
        if (!IsCopyName(name) || !store.Read(name, file, kFileSize)) {
            continue;
        }
        const unsigned char* copy = BlockOf(file);
        if (copy == nullptr || !Applies(copy, block)) {
            continue;
        }
        if (++found.count == 1) {
            found.copy.assign(copy, copy + kDataBlockSize);
        } else {
            break;
        }
    }
    return found;
}

}  // namespace saved_copies
