// Deterministic test bytes, different for each seed.
#ifndef ORVFLASH_TESTS_SUPPORT_PATTERN_H
#define ORVFLASH_TESTS_SUPPORT_PATTERN_H

#include <cstddef>

#include "bytes.h"

// No byte is 0xFF, so that a byte an erase left behind, or a write that did not land, stands out.
Bytes Pattern(std::size_t length, unsigned seed);

#endif
