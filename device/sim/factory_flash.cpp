#include "sim/factory_flash.h"

#include <cstring>

#include "sim/flash_layout.h"

namespace orv_sim {

namespace {

constexpr int32_t kFirmwareSize = 0x80000;
constexpr char kFirmwareHeader[] = "KAVIX FIRMWARE V4";
constexpr int32_t kDataBlockOffset = 0x80000;
constexpr int32_t kDataBlockSize = 0x80000;
constexpr int32_t kSerialOffset = 0;    // within the data block, 32-bit little-endian
constexpr int32_t kVersionOffset = 10;  // within the data block, 16-bit little-endian
constexpr uint16_t kFactoryVersion = 4;

// xorshift32, reduced to 0x00-0xFE.
void FillNeverErased(unsigned char* bytes, int32_t length, uint32_t seed) {
    uint32_t x = seed ? seed : 1;  // xorshift never leaves zero
    for (int32_t i = 0; i < length; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = static_cast<unsigned char>(x % 255);
    }
}

void PutLittleEndian(unsigned char* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        at[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

}  // namespace

std::vector<unsigned char> FactoryFlash(int32_t serial) {
    std::vector<unsigned char> flash(kFlashSize, 0xFF);

    FillNeverErased(flash.data(), kFirmwareSize, 0x4B415649);
    std::memcpy(flash.data(), kFirmwareHeader, sizeof kFirmwareHeader - 1);

    unsigned char* block = flash.data() + kDataBlockOffset;
    // Seeded by the serial: each device has its own calibration-like bytes.
    FillNeverErased(block, kDataBlockSize, static_cast<uint32_t>(serial) ^ 0x5EED0000);
    PutLittleEndian(block + kSerialOffset, static_cast<uint32_t>(serial), 4);
    PutLittleEndian(block + kVersionOffset, kFactoryVersion, 2);
    return flash;
}

}  // namespace orv_sim
