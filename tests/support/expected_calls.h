// The device calls that a run must make, as the simulator's trace records them.
#ifndef ORVFLASH_TESTS_SUPPORT_EXPECTED_CALLS_H
#define ORVFLASH_TESTS_SUPPORT_EXPECTED_CALLS_H

#include <cstddef>
#include <string>
#include <vector>

#include "simulated_kavix.h"

// "orvReadFlash 8" etc., status and thread left out, for comparing call sequences.
std::vector<std::string> CallNames(const std::vector<kavix_test::DeviceCall>& calls);

// The calls of a run that gets as far as the worker: open, type, the eight data sector reads.
std::vector<std::string> PreparationCalls();
// ...followed by the worker's calls in a complete run for an image of `imageLength` bytes: the
// data block read again, the firmware half read, the erase, the writes, and the first MiB read
// back.
std::vector<std::string> CompleteRunCalls(std::size_t imageLength);
// ...up to the last write: a run whose device refused a call reads nothing back.
std::vector<std::string> AttemptedRunCalls(std::size_t imageLength);

// The reads of the whole first MiB, sector by sector, as after a failed erase and in the read-back.
std::vector<std::string> FirstMiBReads();

// Where two call sequences differ first, as a message; empty when they are equal.
std::string FirstDifference(const std::vector<std::string>& actual,
                            const std::vector<std::string>& expected);

#endif
