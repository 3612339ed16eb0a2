#include "device_flash.h"

#include "kavix_layout.h"
#include "bytes.h"

Bytes DeviceFlash(int32_t serial, uint16_t version) {
    Bytes flash = Pattern(layout::kFlash, 41);
    SetSerialNumber(flash.data() + layout::kDataBlock, serial);
    SetVersion(flash.data() + layout::kDataBlock, version);
    return flash;
}

uint16_t VersionOf(const Bytes& flash) {
    return uint16_t(flash[layout::kVersionAt] | flash[layout::kVersionAt + 1] << 8);
}

void SetSerialNumber(unsigned char* block, int32_t serial) {
    const uint32_t s = static_cast<uint32_t>(serial);
    for (int i = 0; i < 4; ++i) {
        block[flash_map::kSerialNumberOffset + i] = static_cast<unsigned char>(s >> (8 * i));
    }
}

void SetVersion(unsigned char* block, uint16_t version) {
    block[flash_map::kFirmwareVersionOffset] = static_cast<unsigned char>(version & 0xFF);
    block[flash_map::kFirmwareVersionOffset + 1] = static_cast<unsigned char>(version >> 8);
}
