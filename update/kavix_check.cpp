#include "kavix_check.h"

#include <memory>

#include "exit_code.h"
#include "flash_map.h"
#include "orv_api.h"
#include "saved_copies.h"

using namespace flash_map;

int CheckKavix(SavedCopyStore& copies, KavixStatus& status, bool& identified) {
    identified = false;
    int32_t handle = -1;
    if (orvOpenDevice(&handle) != 0) {
        return kExitNoDevice;
    }
    // Judged by the type stored, as the update run does: anything but 1 before the call.
    int32_t type = 0;
    orvGetDeviceType(handle, &type);
    if (type != 1) {
        return kExitNoDevice;
    }
    std::unique_ptr<unsigned char[]> block(new unsigned char[kDataBlockSize]);
    for (int32_t k = 0; k < kDataBlockSectors; ++k) {
        if (orvReadFlash(handle, kDataBlockFirstSector + k, block.get() + k * kSectorSize) != 0) {
            return kExitNoDevice;
        }
    }
    identified = true;
    status.serialNumber = SerialNumberOf(block.get());
    status.versionBefore = status.versionNow = FirmwareVersionOf(block.get());
    const saved_copies::Found found = saved_copies::Find(copies, block.get());
    if (found.outcome == saved_copies::Found::unreadable) {
        return kExitMustDecide;
    }
    status.pending = found.outcome != saved_copies::Found::none;
    if (status.pending) {
        return kExitCheckUpdatePending;
    }
    if (ReadsBlank(block.get())) {
        return kExitCheckBlankDataBlock;
    }
    return status.versionNow >= kImageFirmwareVersion ? kExitUpToDate : kExitCheckUpdateNeeded;
}
