#include "crc32.h"

#include <array>

namespace {

using Table = std::array<uint32_t, 256>;

// The remainders of each byte value followed by 0 to 15 zero bytes, so that sixteen bytes cost
// sixteen independent look-ups rather than 128 shifts: a run checks two and a half megabytes (the
// copy twice on its save, the first MiB before the erase, the image for the copy's record).
constexpr std::array<Table, 16> MakeTables() {
    std::array<Table, 16> tables{};
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

constexpr std::array<Table, 16> kTables = MakeTables();

uint32_t LittleEndian32(const unsigned char* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

}  // namespace

uint32_t Crc32(uint32_t crc, const unsigned char* data, std::size_t size) {
    const auto& t = kTables;
    crc = ~crc;
    for (; size >= 16; data += 16, size -= 16) {
        const uint32_t a = crc ^ LittleEndian32(data);
        const uint32_t b = LittleEndian32(data + 4);
        const uint32_t c = LittleEndian32(data + 8);
        const uint32_t d = LittleEndian32(data + 12);
        crc = t[15][a & 0xFFu] ^ t[14][(a >> 8) & 0xFFu] ^ t[13][(a >> 16) & 0xFFu] ^
              t[12][a >> 24] ^ t[11][b & 0xFFu] ^ t[10][(b >> 8) & 0xFFu] ^
              t[9][(b >> 16) & 0xFFu] ^ t[8][b >> 24] ^ t[7][c & 0xFFu] ^ t[6][(c >> 8) & 0xFFu] ^
              t[5][(c >> 16) & 0xFFu] ^ t[4][c >> 24] ^ t[3][d & 0xFFu] ^ t[2][(d >> 8) & 0xFFu] ^
              t[1][(d >> 16) & 0xFFu] ^ t[0][d >> 24];
    }
    for (; size > 0; ++data, --size) {
        crc = t[0][(crc ^ *data) & 0xFFu] ^ (crc >> 8);
    }
    return ~crc;
}
