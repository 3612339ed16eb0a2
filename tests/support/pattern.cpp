#include "pattern.h"

#include <cstdint>

Bytes Pattern(std::size_t length, unsigned seed) {
    Bytes bytes(length);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<unsigned char>((x >> 16) % 255);
    }
    return bytes;
}
