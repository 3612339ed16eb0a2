// What the simulated Kavix must hold after a run, worked out by the tests from the layout alone
// (the flash map's sizes and offsets), not by the update run's code.
#ifndef ORVFLASH_TESTS_SUPPORT_EXPECTED_FLASH_H
#define ORVFLASH_TESTS_SUPPORT_EXPECTED_FLASH_H

#include <string>
#include <vector>

#include "bytes.h"
#include "simulated_kavix.h"

// The flash after a complete successful run with `image`: the lower MiB erased, the image padded
// with 0xFF, the data block's first 1,556 pages written back with a version below 5 raised to 5.
Bytes FlashAfterRun(const Bytes& before, const Bytes& image);

// Applies the calls that the trace reports as successful to `before`, as a NOR flash does: an
// erase sets the lower 1 MiB to 0xFF, a write ANDs in what the program should have written there.
Bytes ReplayTrace(const Bytes& before, const Bytes& image,
                  const std::vector<kavix_test::DeviceCall>& calls);

// Where two flashes differ first, as a message; empty when they are equal.
std::string FirstDifference(const Bytes& actual, const Bytes& expected);

#endif
