#include "update_run.h"

#include <algorithm>
#include <cstring>
#include <ctime>

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

// The CRC-32 of each of the first `count` sectors at `data`.
void SectorChecksums(const unsigned char* data, int32_t count, uint32_t* checksums) {
    for (int32_t k = 0; k < count; ++k) {
        checksums[k] = Crc32(0, data + k * kSectorSize, size_t(kSectorSize));
    }
}

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
    copyState = CopyState::none;
    recovering = false;
    identified = false;
    copiesUndecided = false;
    outcome = RunOutcome::none;
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
// The file may be a Kavix's only data: the user moves it aside, and support can still read it.
void UpdateRun::LogCopyUnreadable(const std::string& name) {
    const std::string folder = savedCopies->Where();
    if (name.empty()) {
        window.AppendLog(
            "The saved copies of device data in %s cannot be listed, unable to "
            "continue.",
            folder.c_str());
        LogLines({"Nothing was changed. Close the program and try again.", kAdvice, ""});
        return;
    }
    window.AppendLog("The saved copy %s in %s cannot be read, unable to continue.", name.c_str(),
                     folder.c_str());
    LogLines({"Nothing was changed. Move that file to another folder and keep it, then try again.",
              kAdvice, ""});
}

void UpdateRun::Stop(RunOutcome why) {
    outcome = why;
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
    // Whatever no erase followed is no copy of an unfinished update; this start holds the
    // computer's one update, so no other run is making a copy now.
    saved_copies::Tidy(*savedCopies);

    if (!firmwareFile->Open(kImageFileName)) {
        Stop(RunOutcome::noImage);
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
    Stop(RunOutcome::noImage);
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
    Stop(RunOutcome::none);
    return true;
}

bool UpdateRun::IdentifyDevice() {
    if (orvOpenDevice(&deviceHandle) != 0) {
        Stop(RunOutcome::noDevice);
        LogLines({"Unable to open device, ensure it is plugged in properly.",
                  "Aborting update, close program and try again.", ""});
        return false;
    }
    // Anything but 1 before the call, so that a call that stores nothing is refused.
    int32_t type = 0;
    orvGetDeviceType(deviceHandle, &type);
    if (type != 1) {
        Stop(RunOutcome::noDevice);
        LogLines({"Device attached is not a Kavix", "Aborting update.", ""});
        return false;
    }
    return true;
}

bool UpdateRun::ReadDataBlock() {
    for (int32_t k = 0; k < kDataBlockSectors; ++k) {
        // Before each read: the image and the device were opened since the click.
        window.KeepAnswering();
        unsigned char* sector = savedData.get() + k * kSectorSize;
        if (orvReadFlash(deviceHandle, kDataBlockFirstSector + k, sector) != 0) {
            Stop(RunOutcome::noDevice);
            LogReadError();
            return false;
        }
    }
    std::memcpy(versionAsRead, savedData.get() + kFirmwareVersionOffset, sizeof versionAsRead);
    identified = true;
    // The window may have been closed while it answered.
    if (abandoned) {
        Stop(RunOutcome::mustDecide);
        return false;
    }
    return true;
}

namespace {

std::string SavedAtText(int64_t savedAt) {
    if (savedAt == 0) {
        return "by an earlier version of this program (no date)";
    }
    const std::time_t time = std::time_t(savedAt);
    char text[40] = "";
    if (const std::tm* utc = std::gmtime(&time)) {
        std::strftime(text, sizeof text, "on %Y-%m-%d %H:%M UTC", utc);
    }
    return text;
}

const char* WhyAsked(saved_copies::Doubt doubt) {
    using saved_copies::Doubt;
    switch (doubt) {
        case Doubt::serialChanged:
            return "the serial number the Kavix reads is not the copy's: an interrupted erase may "
                   "have changed it";
        case Doubt::several:
            return "more than one saved copy could be the data this Kavix held";
        case Doubt::blankSerial:
            return "the copy's serial number is blank (-1) and names no Kavix";
        case Doubt::firstPagePartial:
            return "the first page of the Kavix's data is partly erased or written, so the serial "
                   "number it reads proves nothing";
        case Doubt::noRecord:
            return "the copy was saved by an earlier version, which kept no record of how far its "
                   "update got";
        case Doubt::writer:
        case Doubt::none:
            break;
    }
    return "another account wrote the copy";
}

}  // namespace

void UpdateRun::LogCopies(const char* what, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        window.AppendLog("The saved copy %s in %s %s.", name.c_str(), savedCopies->Where().c_str(),
                         what);
    }
}

// The copies that could be the block, one at a time, until the label on the device names one. No
// to all keeps the device's own data, and the copies stay. Null also when the run is to stop.
const saved_copies::Copy* UpdateRun::ChooseCopy(
    const std::vector<const saved_copies::Copy*>& candidates) {
    using saved_copies::Doubt;
    if (candidates.size() == 1 && saved_copies::DoubtOf(*candidates[0]) == Doubt::none) {
        return candidates[0];
    }
    for (const saved_copies::Copy* copy : candidates) {
        labelSerialNumber = copy->serialNumber;
        labelNamesOneCopy =
            copy->serialNumber != -1 &&
            std::count_if(candidates.begin(), candidates.end(), [&](const saved_copies::Copy* c) {
                return c->serialNumber == copy->serialNumber;
            }) == 1;
        Doubt doubt = saved_copies::DoubtOf(*copy);
        if (doubt == Doubt::none) {
            doubt = Doubt::several;
        }
        const std::string by =
            copy->writer.trusted ? std::string() : " by the account " + copy->writer.account;
        const int answer = window.AskQuestion(
            Question::label,
            "An update of the Kavix with serial number %d did not finish. Its data may be what the "
            "Kavix attached holds now, whose serial number reads %d. If the label on the Kavix "
            "attached says %d, click yes to write the saved data back. Otherwise click no to "
            "update it with the data it holds.\n\nThe saved copy: %s in %s, saved %s%s.\nAsked "
            "because %s.",
            copy->serialNumber, serialNumber, copy->serialNumber, copy->name.c_str(),
            savedCopies->Where().c_str(), SavedAtText(copy->savedAt).c_str(), by.c_str(),
            WhyAsked(doubt));
        if (abandoned || (answer != kAnswerYes && answer != kAnswerNo)) {
            Stop(RunOutcome::mustDecide);
            return nullptr;
        }
        if (answer == kAnswerYes) {
            return copy;
        }
    }
    return nullptr;
}

bool UpdateRun::ReadFirmwareHalf(uint32_t* checksums) {
    std::unique_ptr<unsigned char[]> sector(new unsigned char[kSectorSize]);
    // The copies were read since the last answer.
    window.KeepAnswering();
    for (int32_t k = 0; k < kDataBlockFirstSector; ++k) {
        if (orvReadFlash(deviceHandle, k, sector.get()) != 0) {
            return false;
        }
        checksums[k] = Crc32(0, sector.get(), size_t(kSectorSize));
        window.KeepAnswering();
    }
    return true;
}

// A block that an interrupted update left half erased or half written is not the device's data:
// the copy saved before that update's erase is. A copy whose erase never began, or that has
// served, is set aside, never written back.
bool UpdateRun::TakeCopyOfUnfinishedUpdate() {
    using saved_copies::Found;
    serialNumber = SerialNumberOf(savedData.get());
    const Found found = saved_copies::Find(*savedCopies, savedData.get());
    copiesUndecided = found.outcome != Found::none;
    if (found.outcome == Found::unreadable) {
        Stop(RunOutcome::mustDecide);
        LogCopyUnreadable(found.unreadableName);
        return false;
    }
    // Serial numbers are not unique: a copy that this block shows to be foreign may still be
    // another Kavix's only data.
    LogCopies("is of another Kavix and is kept", found.foreign);
    if (found.outcome == Found::none) {
        copiesUndecided = false;
        return true;
    }
    uint32_t firmware[kDataBlockFirstSector] = {};
    const bool needed = saved_copies::NeedsFirmwareHalf(found);
    if (needed && !ReadFirmwareHalf(firmware)) {
        Stop(RunOutcome::noDevice);
        LogReadError();
        return false;
    }
    // The window may have been closed while it answered.
    if (abandoned) {
        Stop(RunOutcome::mustDecide);
        return false;
    }
    std::vector<const saved_copies::Copy*> candidates;
    for (const saved_copies::Copy& copy : found.copies) {
        if (saved_copies::Judge(copy, needed ? firmware : nullptr) !=
            saved_copies::Verdict::setAside) {
            candidates.push_back(&copy);
            continue;
        }
        std::vector<std::string> kept;
        const std::vector<std::string> aside = saved_copies::SetAside(*savedCopies, copy, kept);
        window.AppendLog(
            "The saved copy %s in %s is not written back: the Kavix was not erased by its update, "
            "or holds it already and has changed its data since.",
            copy.name.c_str(), savedCopies->Where().c_str());
        LogCopies("is kept under that name, which no start takes", aside);
        LogCopies("could not be set aside and is kept", kept);
    }
    if (candidates.empty()) {
        copiesUndecided = false;
        return true;
    }
    const saved_copies::Copy* taken = ChooseCopy(candidates);
    if (taken == nullptr) {
        // No to every copy: the Kavix keeps its own data.
        copiesUndecided = outcome != RunOutcome::none;
        return outcome == RunOutcome::none;
    }
    if (taken->match != saved_copies::Match::intact) {
        SectorChecksums(savedData.get(), kDataBlockSectors, sectorChecksums);
        blockReplaced = true;
        if (!saved_copies::Load(*savedCopies, taken->name, savedData.get())) {
            Stop(RunOutcome::mustDecide);
            LogCopyUnreadable(taken->name);
            return false;
        }
        LogLines(
            {"An earlier update of this Kavix did not finish. Its saved data will be written "
             "back."});
    }
    serialNumber = taken->serialNumber;
    copyChecksum = taken->checksum;
    copySerialNumber = taken->serialNumber;
    copyState = CopyState::marked;
    recovering = true;
    return true;
}

bool UpdateRun::ConfirmUpdate() {
    // An unfinished update is finished whatever version its copy holds: a No would leave the
    // Kavix as the cut left it.
    if (!recovering && FirmwareVersionOf(savedData.get()) >= kImageFirmwareVersion) {
        LogLines({"Firmware is up to date."});
        // Only a Yes goes on: a box that could not be shown is no consent to erase.
        if (window.AskQuestion(Question::upToDate,
                               "Firmware is up to date. Do you want to continue?") != kAnswerYes ||
            abandoned) {
            Stop(RunOutcome::upToDate);
            return false;
        }
    }
    if (window.AskQuestion(Question::serialNumber,
                           "Attempting to update Kavix with serial number %d, if this is correct "
                           "and you wish to continue, click yes",
                           serialNumber) != kAnswerYes ||
        abandoned) {
        // The window may have been closed while the question was open.
        Stop(RunOutcome::mustDecide);
        return false;
    }
    return true;
}

// Until the update has finished, the only other copy of the device's data is on disk: it must be
// there, whole, before anything is erased. The copy holds the block as read, before the version is
// raised, so that a later start tells an unfinished update from a finished one. It is marked only
// when the worker is about to erase.
bool UpdateRun::SaveCopy() {
    if (copyState == CopyState::none) {
        bool marked = false;
        if (!saved_copies::Save(*savedCopies, savedData.get(), copyChecksum, marked)) {
            Stop(RunOutcome::mustDecide);
            window.AppendLog("Unable to save a copy of the device data in %s, unable to continue.",
                             savedCopies->Where().c_str());
            LogLines({""});
            return false;
        }
        copySerialNumber = SerialNumberOf(savedData.get());
        copyState = marked ? CopyState::marked : CopyState::unmarked;
    }
    RaiseFirmwareVersion(savedData.get());
    return true;
}

void UpdateRun::DiscardUnmarkedCopy() {
    if (copyState == CopyState::unmarked) {
        saved_copies::Discard(*savedCopies, copySerialNumber, copyChecksum);
        copyState = CopyState::none;
    }
}

void UpdateRun::NotStarted() {
    updating = false;
    imageData.reset();
    DiscardUnmarkedCopy();
    Stop(RunOutcome::mustDecide);
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
        DiscardUnmarkedCopy();
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
    // From the mark on, a cut leaves a copy that the next start finishes the update with.
    const bool marked = check == DeviceCheck::same && !abandoned && ArmCopy();
    bool eraseFailed = false;
    bool deviceFailed = false;
    bool unchanged = false;
    ReadBackResult readBack = ReadBackResult::different;
    std::vector<std::string> left;
    // A stage that could not be recorded leaves the one before, which may tell the next start to
    // set aside a copy that the device needs; without a record, the copy is asked about.
    const auto recordStage = [this](saved_copies::Record::Stage stage) {
        record.stage = stage;
        if (!saved_copies::WriteRecord(*savedCopies, copySerialNumber, copyChecksum, record)) {
            saved_copies::RemoveRecord(*savedCopies, copySerialNumber, copyChecksum);
        }
    };
    if (marked) {
        copyState = CopyState::marked;
        // Pages written over flash that may still hold the old firmware would mix the two.
        eraseFailed = orvClearFlash(deviceHandle) != 0;
        if (eraseFailed) {
            // A first run's device that reads as it did keeps its own data: its copy goes.
            unchanged = !recovering && UnchangedSinceArmed(sector.get());
            if (unchanged) {
                left = saved_copies::Remove(*savedCopies, copySerialNumber, copyChecksum);
                copyState = CopyState::none;
            }
        } else {
            recordStage(saved_copies::Record::erased);
            const int32_t pageCount = ImagePageCount(imageLength);
            deviceFailed =
                !WritePages(kImageFirstPage, imageData.get(), pageCount, pageCount / 10 + 5);
            if (!WritePages(kDataBlockFirstPage, savedData.get(), kRestoredPages - 1,
                            kRestoreThreshold)) {
                deviceFailed = true;
            }
            // Only the last page can be missing now: a later start tells a cut in it from a
            // device that changed its own data since. Should this stage not be recorded, the
            // erased one stands, which sets aside fewer blocks.
            if (!deviceFailed && !abandoned) {
                record.stage = saved_copies::Record::written;
                saved_copies::WriteRecord(*savedCopies, copySerialNumber, copyChecksum, record);
            }
            constexpr int32_t kLast = kRestoredPages - 1;
            if (!WritePages(kDataBlockFirstPage + kLast, savedData.get() + kLast * kPageSize, 1,
                            kRestoreThreshold)) {
                deviceFailed = true;
            }
            // Success is what the device reads back, not what its statuses said.
            if (!deviceFailed && !abandoned) {
                readBack = ReadBack(sector.get());
                deviceFailed = readBack != ReadBackResult::same;
            }
            // A page missing in the middle is no cut: the next start must not take the device for
            // one that holds the copy already.
            if (deviceFailed && readBack != ReadBackResult::unreadable) {
                recordStage(saved_copies::Record::failed);
            }
        }
    } else {
        DiscardUnmarkedCopy();
    }
    imageData.reset();
    // Every device call is made: from here on, closing cannot harm the device, and the window may
    // say so while the session end is no longer refused.
    updating = false;

    const auto logLeft = [this](const std::vector<std::string>& names) {
        LogCopies("could not be removed; the next start removes it", names);
    };
    if (abandoned) {
        // The window is gone; nothing of it may be touched. A marked copy stays for the next start.
        Stop(marked ? RunOutcome::failed : RunOutcome::mustDecide);
    } else if (check == DeviceCheck::unreadable) {
        Stop(RunOutcome::noDevice);
        window.OnRunEnded(false);
        LogReadError();
    } else if (check == DeviceCheck::other) {
        Stop(RunOutcome::noDevice);
        window.OnRunEnded(false);
        LogLines({"The Kavix attached is not the one that was read. Nothing was erased.",
                  "Aborting update, close program and try again.", ""});
    } else if (!marked) {
        Stop(RunOutcome::mustDecide);
        window.OnRunEnded(false);
        window.AppendLog("Unable to save a copy of the device data in %s, unable to continue.",
                         savedCopies->Where().c_str());
        LogLines({"Nothing was erased.", ""});
    } else if (unchanged) {
        Stop(RunOutcome::notErased);
        window.OnRunEnded(false);
        logLeft(left);
        LogLines({"", "Error erasing the Kavix, nothing was changed.",
                  "The Kavix holds what it held before. Close the program and try again.", kAdvice,
                  ""});
    } else if (eraseFailed) {
        Stop(RunOutcome::failed);
        window.OnRunEnded(false);
        LogLines({"", "Error erasing the Kavix, the update did not complete.",
                  "Do not unplug the Kavix. Close the program and try again.", kAdvice, ""});
    } else if (readBack == ReadBackResult::unreadable) {
        Stop(RunOutcome::failed);
        window.OnRunEnded(false);
        LogLines({"", "Error reading back the Kavix, the update may not have completed.",
                  "Do not unplug the Kavix. Close the program and try again.", kAdvice, ""});
    } else if (deviceFailed) {
        Stop(RunOutcome::failed);
        window.OnRunEnded(false);
        LogLines({"", "Error writing to the Kavix, the update did not complete.",
                  "Do not unplug the Kavix. Close the program and try again.", kAdvice, ""});
    } else {
        // The device holds the copy now: this copy, and only this one, has served.
        left = saved_copies::Remove(*savedCopies, copySerialNumber, copyChecksum);
        copyState = CopyState::none;
        if (progressCtrl != nullptr) {
            progressCtrl->SetPos(kProgressMax);
        }
        Stop(RunOutcome::finished);
        logLeft(left);
        LogLines({"", "Finished updating.", "You may safely close the application."});
        window.OnRunEnded(true);
    }
}

// The user may have swapped the Kavix between the reads and the last Yes. The firmware half is read
// too: the copy's record keeps the whole first MiB as it was before the erase.
UpdateRun::DeviceCheck UpdateRun::CheckDeviceAsRead(unsigned char* sector) {
    for (int32_t k = 0; k < 2 * kDataBlockSectors; ++k) {
        const int32_t at = (kDataBlockFirstSector + k) % (2 * kDataBlockSectors);
        if (orvReadFlash(deviceHandle, at, sector) != 0) {
            return DeviceCheck::unreadable;
        }
        firstMiB[at] = Crc32(0, sector, size_t(kSectorSize));
        if (k < kDataBlockSectors &&
            (blockReplaced ? firstMiB[at] != sectorChecksums[k] : !SameAsRead(k, sector))) {
            return DeviceCheck::other;
        }
    }
    return DeviceCheck::same;
}

bool UpdateRun::ArmCopy() {
    saved_copies::Record kept;
    const bool recorded =
        saved_copies::ReadRecord(*savedCopies, copySerialNumber, copyChecksum, kept);
    SectorChecksums(imageData.get(), kDataBlockFirstSector, kept.image);
    record = kept;
    // A recovery keeps its copy's record as it stands until its own erase returns: the device may
    // hold the copy already, and a cut or a failed erase must not make it look unfinished.
    if (recovering && recorded) {
        return true;
    }
    record.stage = saved_copies::Record::armed;
    record.beforeKnown = !recovering;
    std::copy_n(firstMiB, 16, record.before);
    return saved_copies::WriteRecord(*savedCopies, copySerialNumber, copyChecksum, record) &&
           (copyState == CopyState::marked ||
            saved_copies::Mark(*savedCopies, copySerialNumber, copyChecksum));
}

bool UpdateRun::UnchangedSinceArmed(unsigned char* sector) {
    for (int32_t k = 0; k < 2 * kDataBlockSectors; ++k) {
        if (orvReadFlash(deviceHandle, k, sector) != 0 ||
            Crc32(0, sector, size_t(kSectorSize)) != firstMiB[k]) {
            return false;
        }
    }
    return true;
}

// `savedData` holds the block as read, but for the version the run raised.
bool UpdateRun::SameAsRead(int32_t k, const unsigned char* sector) const {
    const unsigned char* read = savedData.get() + k * kSectorSize;
    if (k > 0) {
        return std::memcmp(sector, read, size_t(kSectorSize)) == 0;
    }
    constexpr int32_t kVersionEnd = kFirmwareVersionOffset + 2;
    return std::memcmp(sector, read, size_t(kFirmwareVersionOffset)) == 0 &&
           std::memcmp(sector + kFirmwareVersionOffset, versionAsRead, 2) == 0 &&
           std::memcmp(sector + kVersionEnd, read + kVersionEnd,
                       size_t(kSectorSize - kVersionEnd)) == 0;
}

UpdateRun::ReadBackResult UpdateRun::ReadBack(unsigned char* sector) {
    static_assert(kImageSize == kDataBlockOffset, "the image region ends where the block begins");
    bool same = true;
    // The image buffer holds 0xFF past the image, as erased flash reads.
    for (int32_t k = 0; k < 2 * kDataBlockSectors && !abandoned && same; ++k) {
        if (orvReadFlash(deviceHandle, k, sector) != 0) {
            return ReadBackResult::unreadable;
        }
        const int32_t at = k * kSectorSize;
        if (at < kDataBlockOffset) {
            same = std::memcmp(sector, imageData.get() + at, size_t(kSectorSize)) == 0;
            continue;
        }
        const int32_t inBlock = at - kDataBlockOffset;
        const int32_t restored = std::max(0, std::min(kSectorSize, kRestoredSize - inBlock));
        same = std::memcmp(sector, savedData.get() + inBlock, size_t(restored)) == 0;
        for (int32_t i = restored; i < kSectorSize && same; ++i) {
            same = sector[i] == 0xFF;
        }
    }
    return same ? ReadBackResult::same : ReadBackResult::different;
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

KavixStatus UpdateRun::Status() const {
    KavixStatus status;
    const RunOutcome how = outcome.load();
    status.serialNumber = serialNumber;
    status.versionBefore = uint16_t(versionAsRead[0] | versionAsRead[1] << 8);
    status.pending = how == RunOutcome::failed ||
                     (how != RunOutcome::finished && (recovering || copiesUndecided));
    if (how == RunOutcome::finished) {
        status.versionNow = FirmwareVersionOf(savedData.get());
    } else if (!status.pending) {
        status.versionNow = status.versionBefore;
    }
    return status;
}
