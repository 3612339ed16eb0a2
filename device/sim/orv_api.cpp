// The five functions of the device library, over a simulated Kavix whose flash lives in a file.
#include "orv_api.h"

#include <mutex>

#include "sim/config.h"
#include "sim/device_time.h"
#include "sim/flash_layout.h"
#include "sim/flash_store.h"
#include "sim/platform.h"
#include "sim/power_cut.h"
#include "sim/status.h"
#include "sim/trace.h"

namespace {

using namespace orv_sim;

struct Device {
    // The updater calls from one thread at a time; the lock costs nothing and keeps that honest.
    std::mutex mutex;
    bool open = false;
    int32_t handle = 0;
    uint16_t generation = 0;
    int64_t calls = 0;  // since the last open, which counts as the first
    std::chrono::steady_clock::duration lateness{};  // see DeviceTime
    Config config;
    FlashStore flash;
    Trace trace;
};

Device device;

// Once open, unplugging wins over everything: a device that is gone answers nothing.
orvStatus Admit(int32_t handle) {
    if (!device.open) {
        return kNotOpen;
    }
    ++device.calls;
    if (device.config.unplugAfter && device.calls > *device.config.unplugAfter) {
        return kUnplugged;
    }
    return handle == device.handle ? kOk : kBadHandle;
}

orvStatus CheckIndex(int32_t index, int32_t count, const void* buffer) {
    if (index < 0 || index >= count) {
        return kBadIndex;
    }
    return buffer ? kOk : kNullPointer;
}

orvStatus Open(bool configValid, const Config& config, int32_t* handle) {
    if (!configValid) {
        return kBadConfig;
    }
    if (config.unplugAfter && *config.unplugAfter < 1) {
        return kUnplugged;
    }
    if (!handle) {
        return kNullPointer;
    }
    if (config.openFails) {
        return kInjectedFault;  // before the image: a device that is not found creates nothing
    }
    orvStatus status = device.flash.Load(config.flashPath, config.serial);
    if (status != kOk) {
        return status;
    }
    device.config = config;
    // One process claims the power loss, so that the next start meets a healthy device.
    if (config.CutsPower() && !CreateNewFile(config.flashPath + ".exit-claimed")) {
        device.config.ForgetPowerLoss();
    }
    // A new value per open, so that a handle kept from an earlier open is refused.
    device.generation = static_cast<uint16_t>(device.generation % 0xFFFF + 1);
    device.handle = 0x4B560000 | device.generation;
    device.open = true;
    *handle = device.handle;
    return kOk;
}

}  // namespace

// Every open starts over: configuration from the environment, call count, trace file. A failed
// open leaves the device closed.
orvStatus ORV_CALL orvOpenDevice(int32_t* handle) {
    std::lock_guard<std::mutex> lock(device.mutex);
    device.open = false;
    device.calls = 1;
    device.lateness = {};
    Config config;
    bool configValid = LoadConfig(config);
    if (!device.trace.Start(config.tracePath)) {
        return kIoError;
    }
    orvStatus status = Open(configValid, config, handle);
    device.trace.Record("orvOpenDevice", status);
    return status;
}

orvStatus ORV_CALL orvGetDeviceType(int32_t handle, int32_t* type) {
    std::lock_guard<std::mutex> lock(device.mutex);
    orvStatus status = Admit(handle);
    if (status == kOk && !type) {
        status = kNullPointer;
    }
    if (status == kOk && !device.config.typeStoresNothing) {
        *type = device.config.type;
    }
    device.trace.Record("orvGetDeviceType", status);
    return status;
}

orvStatus ORV_CALL orvReadFlash(int32_t handle, int32_t sector, unsigned char* destination) {
    std::lock_guard<std::mutex> lock(device.mutex);
    orvStatus status = Admit(handle);
    if (status == kOk) {
        status = CheckIndex(sector, kSectorCount, destination);
    }
    // Every call that reaches the flash takes its time, a failing one too.
    const DeviceTime time(status == kOk ? device.config.readDelayMs : 0, device.lateness);
    if (status == kOk) {
        if (device.config.readFailSector == sector) {
            status = kInjectedFault;
        } else {
            device.flash.Read(sector * kSectorSize, kSectorSize, destination);
        }
    }
    device.trace.Record("orvReadFlash", sector, status);
    time.WaitForEnd();
    return status;
}

// Erases the first MiB only (see kClearedSize).
orvStatus ORV_CALL orvClearFlash(int32_t handle) {
    std::lock_guard<std::mutex> lock(device.mutex);
    orvStatus status = Admit(handle);
    // The power goes in the middle of the erase: the file holds what is erased by then.
    if (status == kOk && device.config.cutEraseAtSector) {
        CutEraseInSector(device.flash, *device.config.cutEraseAtSector, device.config.cutSeed);
        EndProcessAbruptly();
    }
    if (status == kOk && device.config.cutEraseAll) {
        CutEraseAll(device.flash, device.config.cutSeed);
        EndProcessAbruptly();
    }
    const DeviceTime time(status == kOk ? device.config.eraseDelayMs : 0, device.lateness);
    if (status == kOk && device.config.eraseFails) {
        status = kInjectedFault;
    } else if (status == kOk && device.config.eraseSkipsSector) {
        // A lying erase: it says it erased everything.
        const int32_t skipped = *device.config.eraseSkipsSector * kSectorSize;
        status = skipped > 0 ? device.flash.Erase(0, skipped) : kOk;
        if (status == kOk && skipped + kSectorSize < kClearedSize) {
            status = device.flash.Erase(skipped + kSectorSize, kClearedSize - skipped - kSectorSize);
        }
    } else if (status == kOk) {
        status = device.flash.Erase(0, kClearedSize);
    }
    device.trace.Record("orvClearFlash", status);
    time.WaitForEnd();
    return status;
}

orvStatus ORV_CALL orvWriteFlash(int32_t handle, int32_t page, unsigned char* source) {
    std::lock_guard<std::mutex> lock(device.mutex);
    orvStatus status = Admit(handle);
    if (status == kOk) {
        status = CheckIndex(page, kPageCount, source);
    }
    if (status == kOk && device.config.exitAtPage == page) {
        EndProcessAbruptly();
    }
    if (status == kOk && device.config.tearAtPage == page) {
        TearPage(device.flash, page, source, device.config.cutSeed);
        EndProcessAbruptly();
    }
    const DeviceTime time(status == kOk ? device.config.writeDelayMs : 0, device.lateness);
    if (status == kOk) {
        status = device.config.writeFailPage == page
                     ? kInjectedFault
                     : device.flash.Program(page * kPageSize, source, kPageSize);
    }
    device.trace.Record("orvWriteFlash", page, status);
    time.WaitForEnd();
    return status;
}
