// What a Kavix holds when it leaves the factory.
#ifndef ORV_SIM_FACTORY_FLASH_H
#define ORV_SIM_FACTORY_FLASH_H

#include <cstdint>
#include <vector>

namespace orv_sim {

// Old firmware V4 in bytes 0-0x7FFFF, the device data block (serial, firmware version 4, device
// bytes) in 0x80000-0xFFFFF, the upper MiB erased. Below 1 MiB no byte but the serial's may be
// 0xFF, so any byte an erase left behind stands out. The same serial gives the same contents.
std::vector<unsigned char> FactoryFlash(int32_t serial);

}  // namespace orv_sim

#endif
