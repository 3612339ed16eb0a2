// The Kavix flash: a copy in memory to read from and the flash image file, which holds every
// change before the call that made it returns, so a killed process leaves what the device holds.
#ifndef ORV_SIM_FLASH_STORE_H
#define ORV_SIM_FLASH_STORE_H

#include <cstdint>
#include <string>
#include <vector>

#include "orv_api.h"

namespace orv_sim {

class FlashStore {
public:
    // Loads the image at `path`, first creating a factory-fresh one with `serial` where there is
    // none. An image of the wrong size is refused, never repaired.
    orvStatus Load(const std::string& path, int32_t serial);

    // Callers keep offset and length inside the flash.
    void Read(int32_t offset, int32_t length, unsigned char* destination) const;
    // NOR programming: bits only go from 1 to 0, so writing over unerased bytes corrupts them.
    orvStatus Program(int32_t offset, const unsigned char* source, int32_t length);
    orvStatus Erase(int32_t offset, int32_t length);
    // An erase cut short: the bits set in `mask` read 1 afterwards, the others keep their value.
    orvStatus EraseBits(int32_t offset, const unsigned char* mask, int32_t length);

private:
    // Memory changes only once the file holds the new bytes.
    orvStatus Store(int32_t offset, const unsigned char* bytes, int32_t length);

    std::string path;
    std::vector<unsigned char> flash;
};

}  // namespace orv_sim

#endif
