#include "log_trim.h"

#include <cstring>

std::size_t NewerHalfFrom(const char* log, std::size_t size) {
    // From just before the middle: a line that starts there is kept whole.
    const std::size_t from = size / 2 > 0 ? size / 2 - 1 : 0;
    const void* end = size > from ? std::memchr(log + from, '\n', size - from) : nullptr;
    return end == nullptr ? size : std::size_t(static_cast<const char*>(end) - log) + 1;
}
