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
        // The updater reads the data block again before the erase, and reads back the whole first
        // MiB, a sector at a time: what it wrote, and erased flash after each part.
        const auto readSector = [&](int32_t index, const unsigned char* from, int32_t offset,
                                    int32_t size) {
            size = std::max(0, std::min(kSectorSize, size - offset));
            ok = orvReadFlash(handle, index, sector.get()) == 0 &&
                 (size == 0 || std::memcmp(sector.get(), from + offset, size_t(size)) == 0) &&
                 std::all_of(sector.get() + size, sector.get() + kSectorSize,
                             [](unsigned char b) { return b == 0xFF; }) &&
                 ok;
        };
        for (int32_t k = 0; k < kDataBlockSectors; ++k) {
            readSector(kDataBlockFirstSector + k, saved.get(), k * kSectorSize, kDataBlockSize);
        }
        // ...and the firmware half, for the copy's record of the first MiB before the erase.
        for (int32_t k = 0; k < kDataBlockFirstSector; ++k) {
            ok = orvReadFlash(handle, k, sector.get()) == 0 && ok;
        }
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
        for (int32_t at = 0; at < kImageSize; at += kSectorSize) {
            readSector(at / kSectorSize, image, at, imageBytes);
        }
        for (int32_t at = 0; at < kDataBlockSize; at += kSectorSize) {
            readSector(kDataBlockFirstSector + at / kSectorSize, saved.get(), at, kRestoredSize);
        }
    });
    programming.join();
    times.programmingSeconds = SecondsSince(start);
    times.pageWrites = imagePages + kRestoredPages;
    times.succeeded = ok;
    return times;
}
