#include "kavix_flash.h"

#include <algorithm>
#include <cstdio>

namespace e2e {

namespace {

constexpr std::size_t kEraseSize = 0x100000;

// What the program should write to `page`: the image padded with 0xFF, or the saved data block
// with its version raised to 5.
void PageSource(const Bytes& before, const Bytes& image, int page, unsigned char* out) {
    const std::size_t at = std::size_t(page) * kPageSize;
    if (page < kFirstDataPage) {
        for (std::size_t i = 0; i < kPageSize; ++i) {
            out[i] = at + i < image.size() ? image[at + i] : 0xFF;
        }
        return;
    }
    std::copy_n(before.begin() + long(at), kPageSize, out);
    if (at <= kVersionOffset && kVersionOffset < at + kPageSize && VersionOf(before) < 5) {
        out[kVersionOffset - at] = 5;
        out[kVersionOffset - at + 1] = 0;
    }
}

}  // namespace

Bytes Pattern(std::size_t length, unsigned seed) {
    Bytes bytes(length);
    uint32_t x = seed * 2654435761u + 12345u;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<unsigned char>(x >> 8);
    }
    return bytes;
}

Bytes DeviceFlash(int32_t serial, uint16_t version) {
    Bytes flash = Pattern(kFlashSize, 41);
    for (std::size_t i = 0; i < kEraseSize; ++i) {
        if (flash[i] == 0xFF) {
            flash[i] = 0x5A;
        }
    }
    const uint32_t s = static_cast<uint32_t>(serial);
    for (int i = 0; i < 4; ++i) {
        flash[kDataBlock + i] = static_cast<unsigned char>(s >> (8 * i));
    }
    flash[kVersionOffset] = static_cast<unsigned char>(version & 0xFF);
    flash[kVersionOffset + 1] = static_cast<unsigned char>(version >> 8);
    return flash;
}

uint16_t VersionOf(const Bytes& flash) {
    return uint16_t(flash[kVersionOffset] | flash[kVersionOffset + 1] << 8);
}

Bytes FlashAfterRun(const Bytes& before, const Bytes& image) {
    Bytes after = before;
    std::fill_n(after.begin(), kEraseSize, 0xFF);
    const int imagePages = int((image.size() + kPageSize - 1) / kPageSize);
    for (int page = 0; page < imagePages; ++page) {
        PageSource(before, image, page, &after[std::size_t(page) * kPageSize]);
    }
    for (int page = kFirstDataPage; page <= kLastRestoredPage; ++page) {
        PageSource(before, image, page, &after[std::size_t(page) * kPageSize]);
    }
    return after;
}

std::vector<std::string> CallNames(const std::vector<DeviceCall>& calls) {
    std::vector<std::string> names;
    for (const DeviceCall& call : calls) {
        names.push_back(call.index < 0 ? call.function
                                       : call.function + " " + std::to_string(call.index));
    }
    return names;
}

std::vector<std::string> PreparationCalls() {
    std::vector<std::string> names = {"orvOpenDevice", "orvGetDeviceType"};
    for (int sector = 8; sector < 16; ++sector) {
        names.push_back("orvReadFlash " + std::to_string(sector));
    }
    return names;
}

std::vector<std::string> CompleteRunCalls(std::size_t imageLength) {
    std::vector<std::string> names = PreparationCalls();
    names.push_back("orvClearFlash");
    const int imagePages = int((imageLength + kPageSize - 1) / kPageSize);
    for (int page = 0; page < imagePages; ++page) {
        names.push_back("orvWriteFlash " + std::to_string(page));
    }
    for (int page = kFirstDataPage; page <= kLastRestoredPage; ++page) {
        names.push_back("orvWriteFlash " + std::to_string(page));
    }
    return names;
}

Bytes ReplayTrace(const Bytes& before, const Bytes& image, const std::vector<DeviceCall>& calls) {
    Bytes flash = before;
    unsigned char page[kPageSize];
    for (const DeviceCall& call : calls) {
        if (call.status != 0) {
            continue;
        }
        if (call.function == "orvClearFlash") {
            std::fill_n(flash.begin(), kEraseSize, 0xFF);
        } else if (call.function == "orvWriteFlash") {
            PageSource(before, image, int(call.index), page);
            for (std::size_t i = 0; i < kPageSize; ++i) {
                flash[std::size_t(call.index) * kPageSize + i] &= page[i];
            }
        }
    }
    return flash;
}

std::string FirstDifference(const Bytes& actual, const Bytes& expected) {
    if (actual.size() != expected.size()) {
        return "size " + std::to_string(actual.size()) + ", expected " +
               std::to_string(expected.size());
    }
    auto where = std::mismatch(actual.begin(), actual.end(), expected.begin());
    if (where.first == actual.end()) {
        return "";
    }
    char text[128];
    std::snprintf(
        text, sizeof text, "first difference at 0x%zX (page %zu): 0x%02X, expected 0x%02X",
        std::size_t(where.first - actual.begin()),
        std::size_t(where.first - actual.begin()) / kPageSize, *where.first, *where.second);
    return text;
}

std::string FirstDifference(const std::vector<std::string>& actual,
                            const std::vector<std::string>& expected) {
    const std::size_t common = std::min(actual.size(), expected.size());
    std::size_t i = 0;
    while (i < common && actual[i] == expected[i]) {
        ++i;
    }
    if (i == common && actual.size() == expected.size()) {
        return "";
    }
    return "call " + std::to_string(i) + " of " + std::to_string(actual.size()) + " is \"" +
           (i < actual.size() ? actual[i] : "(none)") + "\", expected \"" +
           (i < expected.size() ? expected[i] : "(none)") + "\" of " +
           std::to_string(expected.size());
}

}  // namespace e2e
