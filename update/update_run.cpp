#include "update_run.h"

#include <algorithm>
#include <cstring>

#include "crc32.h"
#include "flash_map.h"
#include "orv_api.h"
#include "saved_copies.h"

using namespace flash_map;

namespace {

constexpr int kProgressMax = 200;
constexpr int kProgressStep = 11;
constexpr int kRestoreThreshold = 160;

const char* const kAdvice = "If you continue to have problems, contact Brevandt.";

}  // namespace

UpdateRun::UpdateRun(UpdateRunWindow& window, std::unique_ptr<FirmwareFile> file,
                     std::unique_ptr<SavedCopyStore> copies)
    : firmwareFile(std::move(file)), savedCopies(std::move(copies)), window(window) {}

void UpdateRun::Reset() {
    updateStarted = false;
    updating = false;
    deviceHandle = -1;
    serialNumber = 0;
    savedData.reset(new unsigned char[kDataBlockSize]);
    copyKept = false;
}

void UpdateRun::LogLines(std::initializer_list<const char*> lines) {
    for (const char* line : lines) {
        window.AppendLog("%s", line);
    }
}

void UpdateRun::LogReadError() {
    LogLines({"Error reading flash contents.", "Unable to continue, aborting safely.",
              "Close the program and try again.", kAdvice, ""});
}

// Nothing is done while a copy that may hold a device's only data cannot be checked.
void UpdateRun::LogCopyUnreadable(const std::string& name) {
    if (name.empty()) {
        window.AppendLog("The saved copies of device data cannot be listed, unable to continue.");
    } else {
        window.AppendLog("The saved copy %s cannot be read, unable to continue.", name.c_str());
    }
    LogLines({"Nothing was changed. Close the program and try again.", kAdvice, ""});
}

bool UpdateRun::Prepare() {
    if (updateStarted) {
        window.ShowWarning(
            "You have already started an update. Either wait for the program to finish, or "
            "relaunch the application");
        return false;
    }
    // A failed or declined run is not retried without restarting the program.
    updateStarted = true;

    if (!firmwareFile->Open(kImageFileName)) {
        LogLines({"Could not find update file, unable to continue."});
        return false;
    }
    if (ReadImage()) {
        LogLines({"Identifying device, please wait.."});
        if (IdentifyDevice() && ReadDataBlock() && TakeCopyOfUnfinishedUpdate() &&
            ConfirmUpdate() && SaveCopy()) {
            // Set before the worker exists, so that the worker's clearing it is always the last
            // word.
            updating = true;
            return true;
        }
    }
    // No worker will write the image.
    imageData.reset();
    return false;
}

// The whole image is read here, before the device is touched: a file that cannot be read then
// stops the run with the flash as it was.
bool UpdateRun::ReadImage() {
    uint64_t length = 0;
    if (!firmwareFile->SeekToEnd() || !firmwareFile->GetPosition(&length) ||
        !firmwareFile->SeekToBegin()) {
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
    imageLength = static_cast<int32_t>(length);
    imageData.reset(new unsigned char[kImageSize]);
    // The rest of the last page is written as erased.
    std::memset(imageData.get(), 0xFF, kImageSize);
    uint32_t filled = 0;
    uint32_t got = 0;
    while (filled < uint32_t(imageLength) &&
           firmwareFile->Read(imageData.get() + filled, uint32_t(imageLength) - filled, &got) &&
           got > 0) {
        filled += got;
    }
    if (filled != uint32_t(imageLength)) {
        LogLines({"Error reading update file, unable to continue.", ""});
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

bool UpdateRun::ReadDataBlock() {
    for (int32_t k = 0; k < kDataBlockSectors; ++k) {
        if (orvReadFlash(deviceHandle, kDataBlockFirstSector + k,
                         savedData.get() + k * kSectorSize) != 0) {
            LogReadError();
            return false;
        }
    }
    return true;
}

// A block that an interrupted update left half erased or half written is not the device's data:
// the copy saved before that update's erase is.
bool UpdateRun::TakeCopyOfUnfinishedUpdate() {
    using saved_copies::Found;
    using saved_copies::Match;
    firstSectorChecksum = Crc32(0, savedData.get(), size_t(kSectorSize));
    serialNumber = SerialNumberOf(savedData.get());
    const Found found = saved_copies::Find(*savedCopies, savedData.get());
    if (found.outcome == Found::unreadable) {
        LogCopyUnreadable(found.unreadableName);
        return false;
    }
    if (found.outcome == Found::several) {
        LogLines({"Saved data of more than one Kavix could belong to this one, unable to continue.",
                  kAdvice, ""});
        return false;
    }
    const saved_copies::Copy* taken = nullptr;
    for (const saved_copies::Copy& copy : found.copies) {
        if (copy.match != Match::unlabelled) {
            taken = &copy;
            break;
        }
        // The cut took the serial number with it, and another Kavix could hold the same: only the
        // label on the device can tell. No keeps the device's own data, and the copy stays.
        const int answer = window.AskQuestion(
            Question::label,
            "An update of the Kavix with serial number %d did not finish. Its data may be what the "
            "Kavix attached holds now, whose serial number reads %d. If the label on the Kavix "
            "attached says %d, click yes to write the saved data back. Otherwise click no to "
            "update it with the data it holds.",
            copy.serialNumber, serialNumber, copy.serialNumber);
        if (abandoned || (answer != kAnswerYes && answer != kAnswerNo)) {
            return false;
        }
        if (answer == kAnswerYes) {
            taken = &copy;
            break;
        }
    }
    if (taken == nullptr) {
        return true;
    }
    if (taken->match != Match::intact) {
        if (!saved_copies::Load(*savedCopies, taken->name, savedData.get())) {
            LogCopyUnreadable(taken->name);
            return false;
        }
        LogLines(
            {"An earlier update of this Kavix did not finish. Its saved data will be written "
             "back."});
    }
    serialNumber = taken->serialNumber;
    copyChecksum = taken->checksum;
    copyKept = true;
    return true;
}

bool UpdateRun::ConfirmUpdate() {
    if (FirmwareVersionOf(savedData.get()) >= kImageFirmwareVersion) {
        LogLines({"Firmware is up to date."});
        // Only a Yes goes on: a box that could not be shown is no consent to erase.
        if (window.AskQuestion(Question::upToDate,
                               "Firmware is up to date. Do you want to continue?") != kAnswerYes ||
            abandoned) {
            return false;
        }
    }
    if (window.AskQuestion(Question::serialNumber,
                           "Attempting to update Kavix with serial number %d, if this is correct "
                           "and you wish to continue, click yes",
                           serialNumber) != kAnswerYes) {
        return false;
    }
    // The window may have been closed while the question was open.
    return !abandoned;
}

// Until the update has finished, the only other copy of the device's data is on disk: it must be
// there, whole, before anything is erased. The copy holds the block as read, before the version is
// raised, so that a later start tells an unfinished update from a finished one.
bool UpdateRun::SaveCopy() {
    if (!copyKept) {
        if (!saved_copies::Save(*savedCopies, savedData.get(), &copyChecksum)) {
            LogLines({"Unable to save a copy of the device data, unable to continue.", ""});
            return false;
        }
        copyKept = true;
    }
    RaiseFirmwareVersion(savedData.get());
    return true;
}

void UpdateRun::NotStarted() {
    updating = false;
    imageData.reset();
    LogLines({"Unable to start the update, close program and try again.", ""});
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

void UpdateRun::Program() {
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

    // One sector at a time: to know the device again, then to read back what was written.
    std::unique_ptr<unsigned char[]> sector(new unsigned char[kSectorSize]);
    const DeviceCheck check = abandoned ? DeviceCheck::same : CheckDeviceAsRead(sector.get());
    bool deviceFailed = false;
    if (check == DeviceCheck::same && !abandoned) {
        deviceFailed = orvClearFlash(deviceHandle) != 0;
        const int32_t pageCount = ImagePageCount(imageLength);
        if (!WritePages(kImageFirstPage, imageData.get(), pageCount, pageCount / 10 + 5)) {
            deviceFailed = true;
        }
        if (!WritePages(kDataBlockFirstPage, savedData.get(), kRestoredPages, kRestoreThreshold)) {
            deviceFailed = true;
        }
        // Success is what the device reads back, not what its statuses said.
        if (!deviceFailed && !abandoned &&
            (!ReadBack(0, imageData.get(), pageCount * kPageSize, sector.get()) ||
             !ReadBack(kDataBlockOffset, savedData.get(), kRestoredSize, sector.get()))) {
            deviceFailed = true;
        }
    }
    imageData.reset();
    // Every device call is made: from here on, closing cannot harm the device, and the window may
    // say so while the session end is no longer refused.
    updating = false;

    if (abandoned) {
        // The window is gone; nothing of it may be touched. The copy stays for the next start.
    } else if (check == DeviceCheck::unreadable) {
        window.OnRunEnded(false);
        LogReadError();
    } else if (check == DeviceCheck::other) {
        window.OnRunEnded(false);
        LogLines({"The Kavix attached is not the one that was read. Nothing was erased.",
                  "Aborting update, close program and try again.", ""});
    } else if (deviceFailed) {
        window.OnRunEnded(false);
        LogLines({"", "Error writing to the Kavix, the update did not complete.",
                  "Do not unplug the Kavix. Close the program and try again.", kAdvice, ""});
    } else {
        // The device holds the copy now: this copy, and only this one, has served.
        saved_copies::Remove(*savedCopies, copyChecksum);
        if (progressCtrl != nullptr) {
            progressCtrl->SetPos(kProgressMax);
        }
        LogLines({"", "Finished updating.", "You may safely close the application."});
        window.OnRunEnded(true);
    }
}

// The user may have swapped the Kavix between the reads and the last Yes.
UpdateRun::DeviceCheck UpdateRun::CheckDeviceAsRead(unsigned char* sector) {
    if (orvReadFlash(deviceHandle, kDataBlockFirstSector, sector) != 0) {
        return DeviceCheck::unreadable;
    }
    return Crc32(0, sector, size_t(kSectorSize)) == firstSectorChecksum ? DeviceCheck::same
                                                                        : DeviceCheck::other;
}

bool UpdateRun::ReadBack(int32_t offset, const unsigned char* written, int32_t length,
                         unsigned char* sector) {
    for (int32_t at = offset; at < offset + length && !abandoned;) {
        const int32_t index = at / kSectorSize;
        const int32_t inSector = at - index * kSectorSize;
        const int32_t count = std::min(kSectorSize - inSector, offset + length - at);
        if (orvReadFlash(deviceHandle, index, sector) != 0 ||
            std::memcmp(sector + inSector, written + (at - offset), size_t(count)) != 0) {
            return false;
        }
        at += count;
    }
    return true;
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
