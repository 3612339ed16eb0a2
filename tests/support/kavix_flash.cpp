#include "kavix_flash.h"

#include <algorithm>
#include <cstdio>

#include "simulated_kavix.h"

using namespace layout;

Bytes DeviceFlash(int32_t serial, uint16_t version) {
    Bytes flash = Pattern(kFlash, 41);
    SetSerialNumber(flash.data() + kDataBlock, serial);
    SetVersion(flash.data() + kDataBlock, version);
    return flash;
}

uint16_t VersionOf(const Bytes& flash) {
    return uint16_t(flash[kVersionAt] | flash[kVersionAt + 1] << 8);
}

void SetSerialNumber(unsigned char* block, int32_t serial) {
    const uint32_t s = static_cast<uint32_t>(serial);
    for (int i = 0; i < 4; ++i) {
        block[flash_map::kSerialNumberOffset + i] = static_cast<unsigned char>(s >> (8 * i));
    }
}

void SetVersion(unsigned char* block, uint16_t version) {
    block[flash_map::kFirmwareVersionOffset] = static_cast<unsigned char>(version & 0xFF);
    block[flash_map::kFirmwareVersionOffset + 1] = static_cast<unsigned char>(version >> 8);
}

namespace {

// What the program should write to `page`: the image padded with 0xFF, or the saved data block
// with its version raised to 5.
void PageSource(const Bytes& before, const Bytes& image, int page, unsigned char* out) {
    const std::size_t at = std::size_t(page) * kPage;
    if (page < kFirstDataPage) {
        for (std::size_t i = 0; i < kPage; ++i) {
            out[i] = at + i < image.size() ? image[at + i] : 0xFF;
        }
        return;
    }
    std::copy_n(before.begin() + long(at), kPage, out);
    if (at <= kVersionAt && kVersionAt < at + kPage && VersionOf(before) < 5) {
        out[kVersionAt - at] = 5;
        out[kVersionAt - at + 1] = 0;
    }
}

}  // namespace

Bytes FlashAfterRun(const Bytes& before, const Bytes& image) {
    Bytes after = before;
    std::fill_n(after.begin(), kMiB, 0xFF);
    for (int page = 0; page < kRestoredEndPage; ++page) {
        if (page < ImagePages(image.size()) || page >= kFirstDataPage) {
            PageSource(before, image, page, &after[std::size_t(page) * kPage]);
        }
    }
    return after;
}

Bytes ReplayTrace(const Bytes& before, const Bytes& image,
                  const std::vector<kavix_test::DeviceCall>& calls) {
    Bytes flash = before;
    unsigned char page[kPage];
    for (const kavix_test::DeviceCall& call : calls) {
        if (call.status != 0) {
            continue;
        }
        if (call.function == "orvClearFlash") {
            std::fill_n(flash.begin(), kMiB, 0xFF);
        } else if (call.function == "orvWriteFlash") {
            PageSource(before, image, int(call.index), page);
            for (std::size_t i = 0; i < kPage; ++i) {
                flash[std::size_t(call.index) * kPage + i] &= page[i];
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
    std::snprintf(text, sizeof text,
                  "first difference at 0x%zX (page %zu): 0x%02X, expected 0x%02X",
                  std::size_t(where.first - actual.begin()),
                  std::size_t(where.first - actual.begin()) / kPage, *where.first, *where.second);
    return text;
}
