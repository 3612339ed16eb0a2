#include "crc32.h"

#include <array>

namespace {

using Table = std::array<uint32_t, 256>;

// The remainders of each byte value followed by 0 to 7 zero bytes, so that eight bytes cost eight
// independent look-ups rather than 64 shifts: the copy's half megabyte is checked on every save and
// every search.
constexpr std::array<Table, 8> MakeTables() {
    std::array<Table, 8> tables{};
    for (uint32_t value = 0; value < 256; ++value) {
        uint32_t crc = value;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        tables[0][value] = crc;
    }
    for (std::size_t k = 1; k < tables.size(); ++k) {
        for (uint32_t value = 0; value < 256; ++value) {
            const uint32_t previous = tables[k - 1][value];
            tables[k][value] = (previous >> 8) ^ tables[0][previous & 0xFFu];
        }
    }
    return tables;
}

constexpr std::array<Table, 8> kTables = MakeTables();

uint32_t LittleEndian32(const unsigned char* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

}  // namespace

uint32_t Crc32(uint32_t crc, const unsigned char* data, std::size_t size) {
    const auto& t = kTables;
    crc = ~crc;
    for (; size >= 8; data += 8, size -= 8) {
        const uint32_t low = crc ^ LittleEndian32(data);
        const uint32_t high = LittleEndian32(data + 4);
        crc = t[7][low & 0xFFu] ^ t[6][(low >> 8) & 0xFFu] ^ t[5][(low >> 16) & 0xFFu] ^
              t[4][low >> 24] ^ t[3][high & 0xFFu] ^ t[2][(high >> 8) & 0xFFu] ^
              t[1][(high >> 16) & 0xFFu] ^ t[0][high >> 24];
    }
    for (; size > 0; ++data, --size) {
        crc = t[0][(crc ^ *data) & 0xFFu] ^ (crc >> 8);
    }
    return ~crc;
}
