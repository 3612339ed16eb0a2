// What a power loss in the middle of a page write or an erase leaves in NOR flash: some of the bits
// the operation was turning are turned, the others not yet. Which ones is pseudo-random but fixed
// by the seed and the place, so that a failing run can be repeated bit for bit.
#ifndef ORV_SIM_POWER_CUT_H
#define ORV_SIM_POWER_CUT_H

#include <cstdint>

#include "orv_api.h"
#include "sim/flash_store.h"

namespace orv_sim {

// Programs about half of the 0-bits that writing `source` to `page` would program.
orvStatus TearPage(FlashStore& flash, int32_t page, const unsigned char* source, int32_t seed);

// An erase of the cleared range that goes sector by sector in ascending order, cut in `sector`:
// the sectors before it erased, about half of its 0-bits erased, the sectors after it untouched.
orvStatus CutEraseInSector(FlashStore& flash, int32_t sector, int32_t seed);

// An erase of the whole cleared range at once, cut: about half of every sector's 0-bits erased.
orvStatus CutEraseAll(FlashStore& flash, int32_t seed);

}  // namespace orv_sim

#endif
