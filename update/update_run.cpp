#include "update_run.h"

#include <cstring>

#include "flash_map.h"
#include "orv_api.h"

using namespace flash_map;

namespace {

constexpr int kProgressMax = 200;
constexpr int kProgressStep = 11;
constexpr int kRestoreThreshold = 160;

const char* const kAdvice = "If you continue to have problems, contact Brevandt.";

uint32_t LoadLe32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t LoadLe16(const unsigned char* p) {
    return uint16_t(p[0] | p[1] << 8);
}

void StoreLe16(unsigned char* p, uint16_t value) {
    p[0] = static_cast<unsigned char>(value & 0xFF);
    p[1] = static_cast<unsigned char>(value >> 8);
}

}  // namespace

UpdateRun::UpdateRun(UpdateRunWindow& window, std::unique_ptr<FirmwareFile> file)
    : firmwareFile(std::move(file)), window(window) {}

void UpdateRun::Reset() {
    updateStarted = false;
    updating = false;
    deviceHandle = -1;
    serialNumber = 0;
    savedData.reset(new unsigned char[kDataBlockSize]);
}

void UpdateRun::LogLines(std::initializer_list<const char*> lines) {
    for (const char* line : lines) {
        window.AppendLog("%s", line);
    }
}

void UpdateRun::OnBnClickedUpdate() {
    if (updateStarted) {
        window.ShowWarning(
            "You have already started an update. Either wait for the program to finish, or "
            "relaunch the application");
        return;
    }
    // A failed or declined run is not retried without restarting the program.
    updateStarted = true;

    if (!firmwareFile->Open(kImageFileName)) {
        LogLines({"Could not find update file, unable to continue."});
        return;
    }
    if (!CheckImageLength()) {
        return;
    }
    LogLines({"Identifying device, please wait.."});
    if (!IdentifyDevice() || !SaveDataBlock() || !ConfirmUpdate()) {
        return;
    }
    StartWorker();
}

bool UpdateRun::ImageLength(uint64_t* length) {
    return firmwareFile->SeekToEnd() && firmwareFile->GetPosition(length);
}

bool UpdateRun::CheckImageLength() {
    // Rejecting here, before the device is touched, is the only place that leaves the flash intact.
    uint64_t length = 0;
    if (!ImageLength(&length) || !firmwareFile->SeekToBegin()) {
        LogLines({"Error reading update file, unable to continue.", ""});
        return false;
    }
    if (length > uint64_t(kImageSize)) {
        LogLines({"The update file is too large, unable to continue.", ""});
        return false;
    }
    // An empty image would erase the firmware and put nothing in its place.
    if (length == 0) {
        LogLines({"The update file is empty, unable to continue.", ""});
        return false;
    }
    return true;
}

bool UpdateRun::IdentifyDevice() {
    if (orvOpenDevice(&deviceHandle) != 0) {
        LogLines({"Unable to open device, ensure it is plugged in properly.",
                  "Aborting update, close program and try again.", ""});
        return false;
    }
    // Anything but 1 before the call, so that a call that stores nothing is refused.
    int32_t type = 0;
    orvGetDeviceType(deviceHandle, &type);
    if (type != 1) {
        LogLines({"Device attached is not a Kavix", "Aborting update.", ""});
        return false;
    }
    return true;
}

bool UpdateRun::SaveDataBlock() {
    for (int32_t k = 0; k < kDataBlockSectors; ++k) {
        if (orvReadFlash(deviceHandle, kDataBlockFirstSector + k,
                         savedData.get() + k * kSectorSize) != 0) {
            LogLines({"Error reading flash contents.", "Unable to continue, aborting safely.",
                      "Close the program and try again.", kAdvice, ""});
            return false;
        }
    }
    serialNumber = static_cast<int32_t>(LoadLe32(savedData.get() + kSerialNumberOffset));
    return true;
}

bool UpdateRun::ConfirmUpdate() {
    unsigned char* version = savedData.get() + kFirmwareVersionOffset;
    if (LoadLe16(version) < kImageFirmwareVersion) {
        StoreLe16(version, kImageFirmwareVersion);
    } else {
        LogLines({"Firmware is up to date."});
        // Only a Yes goes on: a box that could not be shown is no consent to erase.
        if (window.AskQuestion("Firmware is up to date. Do you want to continue?") != kAnswerYes ||
            abandoned) {
            return false;
        }
    }
    if (window.AskQuestion("Attempting to update Kavix with serial number %d, if this is correct "
                           "and you wish to continue, click yes",
                           serialNumber) != kAnswerYes) {
        return false;
    }
    // The window may have been closed while the question was open.
    return !abandoned;
}

void UpdateRun::StartWorker() {
    // Set before the thread exists, so that the worker's clearing it is always the last word.
    updating = true;
    workerThread = window.StartWorker();
    if (workerThread == nullptr) {
        updating = false;
        LogLines({"Unable to start the update, close program and try again.", ""});
    }
}

void UpdateRun::Abandon() {
    abandoned = true;
}

void UpdateRun::AdvanceProgress(int& counter, int threshold) {
    if (abandoned) {
        return;
    }
    if (counter > threshold) {
        if (progressCtrl != nullptr) {
            progressCtrl->SetPos(progressCtrl->GetPos() + kProgressStep);
        }
        counter = 0;
    } else {
        ++counter;
    }
}

void UpdateRun::UpdateWorker() {
    if (abandoned) {
        updating = false;
        return;
    }
    progressCtrl = window.FindProgressBar();
    if (progressCtrl != nullptr) {
        progressCtrl->SetRange(0, kProgressMax);
        progressCtrl->SetPos(0);
    }
    LogLines({"Updating... Do not unplug the Kavix"});

    bool deviceFailed = false;
    ImageResult image = ImageResult::written;
    if (!abandoned) {
        deviceFailed = orvClearFlash(deviceHandle) != 0;
        image = WriteImage(deviceFailed);
        if (!WritePages(kDataBlockFirstPage, savedData.get(), kRestoredPages, kRestoreThreshold)) {
            deviceFailed = true;
        }
    }
    // Every device call is made: from here on, closing cannot harm the device, and the window may
    // say so while the session end is no longer refused.
    updating = false;

    if (abandoned) {
        // The window is gone; nothing of it may be touched.
    } else if (deviceFailed) {
        window.OnRunEnded(false);
        LogLines({"", "Error writing to the Kavix, the update did not complete.",
                  "Do not unplug the Kavix. Close the program and try again.", kAdvice, ""});
    } else if (image == ImageResult::fileError) {
        LogLines({"", "Error reading update file, the firmware was not written completely.",
                  "Do not unplug the Kavix. Close the program and try again.", kAdvice, ""});
    } else {
        if (progressCtrl != nullptr) {
            progressCtrl->SetPos(kProgressMax);
        }
        LogLines({"", "Finished updating.", "You may safely close the application."});
        window.OnRunEnded(true);
    }
}

UpdateRun::ImageResult UpdateRun::WriteImage(bool& deviceFailed) {
    std::unique_ptr<unsigned char[]> image(new unsigned char[kImageSize]);
    std::memset(image.get(), 0xFF, kImageSize);

    // The length decides the page count; whatever a failed or short read leaves unfilled is
    // written as 0xFF. Without a length no page is written.
    ImageResult result = ImageResult::written;
    uint64_t position = 0;
    int32_t length = 0;
    if (!ImageLength(&position) || position > uint64_t(kImageSize)) {
        result = ImageResult::fileError;
    } else {
        length = static_cast<int32_t>(position);
        uint32_t filled = 0;
        if (firmwareFile->SeekToBegin()) {
            uint32_t got = 0;
            while (filled < uint32_t(length) &&
                   firmwareFile->Read(image.get() + filled, uint32_t(length) - filled, &got) &&
                   got > 0) {
                filled += got;
            }
        }
        if (filled != uint32_t(length)) {
            result = ImageResult::fileError;
        }
    }

    const int32_t pageCount = ImagePageCount(length);
    if (!WritePages(kImageFirstPage, image.get(), pageCount, pageCount / 10 + 5)) {
        deviceFailed = true;
    }
    return result;
}

bool UpdateRun::WritePages(int32_t firstPage, unsigned char* source, int32_t count, int threshold) {
    bool allWritten = true;
    int counter = 0;
    for (int32_t i = 0; i < count && !abandoned; ++i) {
        if (orvWriteFlash(deviceHandle, firstPage + i, source + i * kPageSize) != 0) {
            allWritten = false;
        }
        AdvanceProgress(counter, threshold);
    }
    return allWritten;
}
