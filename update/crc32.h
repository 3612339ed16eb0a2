// CRC-32 (the polynomial of zip and PNG), to tell a torn or damaged copy from a whole one.
#ifndef ORVFLASH_UPDATE_CRC32_H
#define ORVFLASH_UPDATE_CRC32_H

#include <cstddef>
#include <cstdint>

// Continues `crc` over `size` bytes; start with 0.
uint32_t Crc32(uint32_t crc, const unsigned char* data, std::size_t size);

#endif
