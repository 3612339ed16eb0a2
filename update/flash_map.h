// Layout of the first 1 MiB of the Kavix flash: the lower half takes the firmware image, the upper
// half holds the device's own data block, which is saved before the erase and written back after.
#ifndef ORVFLASH_UPDATE_FLASH_MAP_H
#define ORVFLASH_UPDATE_FLASH_MAP_H

#include <cstdint>

namespace flash_map {

constexpr int32_t kSectorSize = 0x10000;  // unit of orvReadFlash
constexpr int32_t kPageSize = 0x100;      // unit of orvWriteFlash

// Firmware image: bytes 0x00000-0x7FFFF, sectors 0-7, pages 0-2047.
constexpr int32_t kImageSize = 0x80000;
constexpr int32_t kImageFirstPage = 0;

// Device data block: bytes 0x80000-0xFFFFF, sectors 8-15, pages 2048-4095.
constexpr int32_t kDataBlockOffset = 0x80000;
constexpr int32_t kDataBlockSize = 0x80000;
constexpr int32_t kDataBlockFirstSector = kDataBlockOffset / kSectorSize;  // 8
constexpr int32_t kDataBlockSectors = kDataBlockSize / kSectorSize;        // 8
constexpr int32_t kDataBlockFirstPage = kDataBlockOffset / kPageSize;      // 2048

// Only the first 0x61400 bytes of the data block are written back (pages 2048-3603); the tail is
// saved but left as the erase leaves it.
constexpr int32_t kRestoredSize = 0x61400;
constexpr int32_t kRestoredPages = kRestoredSize / kPageSize;  // 1556

// Fields of the data block, little-endian, offsets from its start.
constexpr int32_t kSerialNumberOffset = 0;      // 32-bit, shown signed
constexpr int32_t kFirmwareVersionOffset = 10;  // 16-bit, unsigned

// The version that Kavix_V5.dat carries and that the data block is raised to.
constexpr uint16_t kImageFirmwareVersion = 5;

constexpr const char* kImageFileName = "Kavix_V5.dat";

inline int32_t SerialNumberOf(const unsigned char* block) {
    const unsigned char* p = block + kSerialNumberOffset;
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                uint32_t(p[3]) << 24);
}

inline uint16_t FirmwareVersionOf(const unsigned char* block) {
    const unsigned char* p = block + kFirmwareVersionOffset;
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// A data block whose first page reads as erased there (serial -1, version 65,535) tells nothing of
// the Kavix: what a cut erase leaves, not a device that is up to date.
inline bool ReadsBlank(int32_t serialNumber, uint16_t version) {
    return serialNumber == -1 && version == 0xFFFF;
}
inline bool ReadsBlank(const unsigned char* block) {
    return ReadsBlank(SerialNumberOf(block), FirmwareVersionOf(block));
}

// The block as it is written back: the version raised to the image's if it was lower.
inline void RaiseFirmwareVersion(unsigned char* block) {
    if (FirmwareVersionOf(block) < kImageFirmwareVersion) {
        block[kFirmwareVersionOffset] = kImageFirmwareVersion & 0xFF;
        block[kFirmwareVersionOffset + 1] = kImageFirmwareVersion >> 8;
    }
}

// Byte i of the image goes to page i / 256: the page count is the length rounded up to pages.
constexpr int32_t ImagePageCount(int32_t length) {
    return (length + kPageSize - 1) / kPageSize;
}

static_assert(kDataBlockFirstSector * kSectorSize == kDataBlockFirstPage * kPageSize,
              "sector 8 and page 2048 begin at the same byte");
static_assert(kRestoredPages == 1556, "1,556 pages are written back");

}  // namespace flash_map

#endif
