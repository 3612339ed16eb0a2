// The Kavix flash layout in the unsigned sizes that byte vectors take: the updater's flash map and
// the simulator's geometry, not restated.
#ifndef ORVFLASH_TESTS_SUPPORT_KAVIX_LAYOUT_H
#define ORVFLASH_TESTS_SUPPORT_KAVIX_LAYOUT_H

#include <cstddef>

#include "flash_map.h"
#include "sim/flash_layout.h"

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

#endif
