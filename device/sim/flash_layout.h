// Geometry of the Kavix flash as the five functions address it.
#ifndef ORV_SIM_FLASH_LAYOUT_H
#define ORV_SIM_FLASH_LAYOUT_H

#include <cstdint>

namespace orv_sim {

constexpr int32_t kFlashSize = 0x200000;
constexpr int32_t kSectorSize = 0x10000;  // unit of orvReadFlash
constexpr int32_t kPageSize = 0x100;      // unit of orvWriteFlash
constexpr int32_t kSectorCount = kFlashSize / kSectorSize;
constexpr int32_t kPageCount = kFlashSize / kPageSize;

// orvClearFlash erases sectors 0-15, the part the updater manages; the upper MiB keeps whatever it
// holds, so tests can show that nothing ever touched it.
constexpr int32_t kClearedSize = 0x100000;

}  // namespace orv_sim

#endif
