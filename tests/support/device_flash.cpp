#include "device_flash.h"

#include "kavix_layout.h"
#include "pattern.h"

Bytes DeviceFlash(int32_t serial, uint16_t version) {
    Bytes flash = Pattern(layout::kFlash, 41);
    const uint32_t s = static_cast<uint32_t>(serial);
    for (int i = 0; i < 4; ++i) {
        flash[layout::kDataBlock + flash_map::kSerialNumberOffset + i] =
            static_cast<unsigned char>(s >> (8 * i));
    }
    flash[layout::kVersionAt] = static_cast<unsigned char>(version & 0xFF);
    flash[layout::kVersionAt + 1] = static_cast<unsigned char>(version >> 8);
    return flash;
}

uint16_t VersionOf(const Bytes& flash) {
    return uint16_t(flash[layout::kVersionAt] | flash[layout::kVersionAt + 1] << 8);
}
