#include "sim/power_cut.h"

#include <vector>

#include "sim/flash_layout.h"
#include "sim/status.h"

namespace orv_sim {

namespace {

// Each bit 1 with even odds, from a generator that needs nothing but the seed and the place.
std::vector<unsigned char> HalfTheBits(int32_t seed, uint32_t place, int32_t length) {
    uint64_t state = (uint64_t(uint32_t(seed)) << 32) ^ place;
    std::vector<unsigned char> bits(static_cast<std::size_t>(length));
    for (std::size_t i = 0; i < bits.size(); i += 8) {
        // splitmix64
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        for (std::size_t j = i; j < i + 8 && j < bits.size(); ++j, z >>= 8) {
            bits[j] = static_cast<unsigned char>(z);
        }
    }
    return bits;
}

// Pages and sectors apart, so that page 5 and sector 5 are not cut alike.
constexpr uint32_t kPagePlace = 0x10000000;
constexpr uint32_t kSectorPlace = 0x20000000;

}  // namespace

orvStatus TearPage(FlashStore& flash, int32_t page, const unsigned char* source, int32_t seed) {
    std::vector<unsigned char> reached = HalfTheBits(seed, kPagePlace + uint32_t(page), kPageSize);
    // A bit the write did not reach stays 1 in what is programmed, so it keeps its old value.
    for (int32_t i = 0; i < kPageSize; ++i) {
        reached[i] = static_cast<unsigned char>(source[i] | ~reached[i]);
    }
    return flash.Program(page * kPageSize, reached.data(), kPageSize);
}

orvStatus CutEraseInSector(FlashStore& flash, int32_t sector, int32_t seed) {
    if (sector > 0) {
        orvStatus status = flash.Erase(0, sector * kSectorSize);
        if (status != kOk) {
            return status;
        }
    }
    const std::vector<unsigned char> reached =
        HalfTheBits(seed, kSectorPlace + uint32_t(sector), kSectorSize);
    return flash.EraseBits(sector * kSectorSize, reached.data(), kSectorSize);
}

orvStatus CutEraseAll(FlashStore& flash, int32_t seed) {
    std::vector<unsigned char> reached;
    for (int32_t sector = 0; sector < kClearedSize / kSectorSize; ++sector) {
        const std::vector<unsigned char> bits =
            HalfTheBits(seed, kSectorPlace + uint32_t(sector), kSectorSize);
        reached.insert(reached.end(), bits.begin(), bits.end());
    }
    return flash.EraseBits(0, reached.data(), kClearedSize);
}

}  // namespace orv_sim
