#include "expected_flash.h"

#include <algorithm>
#include <cstdio>

#include "device_flash.h"
#include "kavix_layout.h"

using namespace layout;

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
