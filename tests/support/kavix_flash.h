// The Kavix flash as the tests see it: the layout in the unsigned sizes that byte vectors take (the
// updater's flash map and the simulator's geometry, not restated), a flash as a used Kavix holds
// it, made by the tests rather than by the simulator (whose factory flash has a fixed version and
// an erased upper MiB), and what the flash must hold after a run, worked out from the layout alone,
// not by the update run's code.
#ifndef ORVFLASH_TESTS_SUPPORT_KAVIX_FLASH_H
#define ORVFLASH_TESTS_SUPPORT_KAVIX_FLASH_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bytes.h"
#include "flash_map.h"
#include "sim/flash_layout.h"

namespace kavix_test {
struct DeviceCall;
}  // namespace kavix_test

namespace layout {

constexpr std::size_t kFlash = orv_sim::kFlashSize;
constexpr std::size_t kMiB = orv_sim::kClearedSize;  // the lower MiB, which the erase clears
constexpr std::size_t kSector = flash_map::kSectorSize;
constexpr std::size_t kPage = flash_map::kPageSize;
constexpr std::size_t kImageLimit = flash_map::kImageSize;
constexpr std::size_t kDataBlock = flash_map::kDataBlockOffset;
constexpr std::size_t kVersionAt = kDataBlock + flash_map::kFirmwareVersionOffset;
constexpr int kFirstDataPage = flash_map::kDataBlockFirstPage;
constexpr int kRestoredEndPage = kFirstDataPage + flash_map::kRestoredPages;  // one past the last

static_assert(kDataBlock + flash_map::kDataBlockSize == kMiB, "the updater manages the lower MiB");

// The pages that an image of `length` bytes fills, the last one perhaps in part.
constexpr int ImagePages(std::size_t length) {
    return int((length + kPage - 1) / kPage);
}

}  // namespace layout

constexpr int32_t kTestSerial = 20481234;

// Old firmware, a data block holding `serial` and `version`, and a pattern above 1 MiB that no run
// may touch. No byte below 1 MiB is 0xFF but those of the fields.
Bytes DeviceFlash(int32_t serial = kTestSerial, uint16_t version = 4);

uint16_t VersionOf(const Bytes& flash);

// Writes the serial number and the version into a data block, little-endian, at their offsets.
void SetSerialNumber(unsigned char* block, int32_t serial);
void SetVersion(unsigned char* block, uint16_t version);

// The flash after a complete successful run with `image`: the lower MiB erased, the image padded
// with 0xFF, the data block's first 1,556 pages written back with a version below 5 raised to 5.
Bytes FlashAfterRun(const Bytes& before, const Bytes& image);

// Applies the calls that the trace reports as successful to `before`, as a NOR flash does: an
// erase sets the lower 1 MiB to 0xFF, a write ANDs in what the program should have written there.
Bytes ReplayTrace(const Bytes& before, const Bytes& image,
                  const std::vector<kavix_test::DeviceCall>& calls);

// Where two flashes differ first, as a message; empty when they are equal.
std::string FirstDifference(const Bytes& actual, const Bytes& expected);

#endif
