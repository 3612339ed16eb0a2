#include "bare_run.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "flash_map.h"
#include "orv_api.h"

using namespace flash_map;

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

BareRunTimes BareRun(const unsigned char* image, int32_t imagePages) {
    BareRunTimes times;
    std::unique_ptr<unsigned char[]> saved(new unsigned char[kDataBlockSize]);
    bool ok = true;

    auto start = std::chrono::steady_clock::now();
    int32_t handle = -1;
    ok = orvOpenDevice(&handle) == 0 && ok;
    int32_t type = 0;
    ok = orvGetDeviceType(handle, &type) == 0 && type == 1 && ok;
    for (int32_t k = 0; k < kDataBlockSectors; ++k) {
        ok = orvReadFlash(handle, kDataBlockFirstSector + k, saved.get() + k * kSectorSize) == 0 &&
             ok;
    }
    times.preparationSeconds = SecondsSince(start);

    // Measured: the same calls cost a few per cent more on a new thread than on the one that
    // opened the device, so the bare run pays that as the updater's worker does.
    start = std::chrono::steady_clock::now();
    std::thread programming([&] {
        std::unique_ptr<unsigned char[]> sector(new unsigned char[kSectorSize]);
        // The updater reads the first data sector again before the erase, and reads back what it
        // wrote, a sector at a time.
        const auto readSector = [&](int32_t index, const unsigned char* expected, int32_t size) {
            ok = orvReadFlash(handle, index, sector.get()) == 0 &&
                 std::memcmp(sector.get(), expected, size_t(size)) == 0 && ok;
        };
        readSector(kDataBlockFirstSector, saved.get(), kSectorSize);
        ok = orvClearFlash(handle) == 0 && ok;
        const auto writes = std::chrono::steady_clock::now();
        for (int32_t j = 0; j < imagePages; ++j) {
            ok = orvWriteFlash(handle, kImageFirstPage + j,
                               const_cast<unsigned char*>(image) + j * kPageSize) == 0 &&
                 ok;
        }
        for (int32_t i = 0; i < kRestoredPages; ++i) {
            ok = orvWriteFlash(handle, kDataBlockFirstPage + i, saved.get() + i * kPageSize) == 0 &&
                 ok;
        }
        times.writesSeconds = SecondsSince(writes);
        const int32_t imageBytes = imagePages * kPageSize;
        for (int32_t at = 0; at < imageBytes; at += kSectorSize) {
            readSector(at / kSectorSize, image + at, std::min(kSectorSize, imageBytes - at));
        }
        for (int32_t at = 0; at < kRestoredSize; at += kSectorSize) {
            readSector(kDataBlockFirstSector + at / kSectorSize, saved.get() + at,
                       std::min(kSectorSize, kRestoredSize - at));
        }
    });
    programming.join();
    times.programmingSeconds = SecondsSince(start);
    times.pageWrites = imagePages + kRestoredPages;
    times.succeeded = ok;
    return times;
}
