// Keeping a log file that every run appends to from growing without end: when it is over its
// limit, its older half goes.
#ifndef ORVFLASH_UPDATE_LOG_TRIM_H
#define ORVFLASH_UPDATE_LOG_TRIM_H

#include <cstddef>

// Where the newer half of a log of `size` bytes begins: at the first line start ('\n' before it) at
// or past the middle, so that no line is cut; `size` (nothing kept) if there is none.
std::size_t NewerHalfFrom(const char* log, std::size_t size);

#endif
