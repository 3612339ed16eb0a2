// What the simulated Kavix holds before and after a run, worked out independently of the program,
// and the device calls that the simulator's trace records.
#ifndef ORVFLASH_TESTS_E2E_KAVIX_FLASH_H
#define ORVFLASH_TESTS_E2E_KAVIX_FLASH_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device_trace.h"

namespace e2e {

using Bytes = std::vector<unsigned char>;

constexpr std::size_t kFlashSize = 0x200000;
constexpr std::size_t kPageSize = 0x100;
constexpr std::size_t kImageLimit = 0x80000;  // 524,288 bytes
constexpr std::size_t kDataBlock = 0x80000;
constexpr int kFirstDataPage = 2048;
constexpr int kLastRestoredPage = 3603;
constexpr std::size_t kVersionOffset = kDataBlock + 10;

// Deterministic bytes, different for each seed.
Bytes Pattern(std::size_t length, unsigned seed);

// A flash as a used device holds it: old firmware, a data block with `serial` and `version`, and a
// pattern above 1 MiB that no run may touch. No byte of it below 1 MiB is 0xFF.
Bytes DeviceFlash(int32_t serial, uint16_t version);

uint16_t VersionOf(const Bytes& flash);

// The flash after a complete successful run with `image`.
Bytes FlashAfterRun(const Bytes& before, const Bytes& image);

using orv_sim::DeviceCall;
using orv_sim::ReadTrace;

// "orvReadFlash 8" etc., status and thread left out, for comparing call sequences.
std::vector<std::string> CallNames(const std::vector<DeviceCall>& calls);

// The calls of a run that gets as far as the worker: open, type, the eight data sector reads.
std::vector<std::string> PreparationCalls();
// ...followed by the erase and the writes of a complete run for an image of `imageLength` bytes.
std::vector<std::string> CompleteRunCalls(std::size_t imageLength);

// Applies the calls that the trace reports as successful to `before`, as a NOR flash does: an
// erase sets the lower 1 MiB to 0xFF, a write ANDs in what the program should have written there.
Bytes ReplayTrace(const Bytes& before, const Bytes& image, const std::vector<DeviceCall>& calls);

// Where two flashes differ first, as a message; empty when they are equal.
std::string FirstDifference(const Bytes& actual, const Bytes& expected);
// The same for call sequences.
std::string FirstDifference(const std::vector<std::string>& actual,
                            const std::vector<std::string>& expected);

}  // namespace e2e

#endif
