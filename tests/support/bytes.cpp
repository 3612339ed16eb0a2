#include "bytes.h"

#include <cstdint>
#include <fstream>

Bytes ReadBytes(const std::string& path) {
    // In blocks: byte by byte, a 2 MiB flash image takes a third of a second in a debug build.
    std::ifstream in(path, std::ios::binary);
    Bytes bytes;
    char block[65536];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        bytes.insert(bytes.end(), block, block + in.gcount());
    }
    return bytes;
}

bool WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

Bytes Pattern(std::size_t length, unsigned seed) {
    Bytes bytes(length);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<unsigned char>((x >> 16) % 255);
    }
    return bytes;
}
