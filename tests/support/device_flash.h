// A flash as a used Kavix holds it, made by the tests rather than by the simulator (whose own
// factory flash has a fixed version and an erased upper MiB).
#ifndef ORVFLASH_TESTS_SUPPORT_DEVICE_FLASH_H
#define ORVFLASH_TESTS_SUPPORT_DEVICE_FLASH_H

#include <cstdint>

#include "bytes.h"

constexpr int32_t kTestSerial = 20481234;

// Old firmware, a data block holding `serial` and `version`, and a pattern above 1 MiB that no run
// may touch. No byte below 1 MiB is 0xFF but those of the fields.
Bytes DeviceFlash(int32_t serial = kTestSerial, uint16_t version = 4);

uint16_t VersionOf(const Bytes& flash);

// Writes the serial number and the version into a data block, little-endian, at their offsets.
void SetSerialNumber(unsigned char* block, int32_t serial);
void SetVersion(unsigned char* block, uint16_t version);

#endif
