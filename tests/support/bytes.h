// Byte strings, files of them, and test bytes.
#ifndef ORVFLASH_TESTS_SUPPORT_BYTES_H
#define ORVFLASH_TESTS_SUPPORT_BYTES_H

#include <cstddef>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

inline Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t length) {
    return Bytes(bytes.begin() + long(offset), bytes.begin() + long(offset + length));
}

// An absent file reads as empty.
Bytes ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const Bytes& bytes);

// Deterministic bytes, different for each seed. No byte is 0xFF, so that a byte an erase left
// behind, or a write that did not land, stands out.
Bytes Pattern(std::size_t length, unsigned seed);

#endif
