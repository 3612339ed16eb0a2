// One firmware update run: the preparation behind the Update button, on the user-interface thread,
// and the programming worker, on a thread of its own.
#ifndef ORVFLASH_UPDATE_UPDATE_RUN_H
#define ORVFLASH_UPDATE_UPDATE_RUN_H

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "firmware_file.h"
#include "run_report.h"
#include "saved_copies.h"
#include "saved_copy_store.h"
#include "update_run_window.h"

// How a run ended; an unattended run's exit code tells it.
enum class RunOutcome {
    none,        // no run has ended
    finished,    // updated and read back, also where an interrupted update was finished
    failed,      // the update failed after the Kavix was changed; the saved copy is kept
    upToDate,    // nothing changed: the firmware is up to date and the update was declined
    noDevice,    // nothing changed: no Kavix, not a Kavix, or its data could not be read
    noImage,     // nothing changed: no usable Kavix_V5.dat
    mustDecide,  // nothing changed: a question was declined or left unanswered, or a saved copy
                 // cannot be read, told apart or saved
    notErased,   // nothing changed: the erase failed, and the Kavix reads as it did before it
};

class UpdateRun {
public:
    UpdateRun(UpdateRunWindow& window, std::unique_ptr<FirmwareFile> file,
              std::unique_ptr<SavedCopyStore> copies);
    UpdateRun(const UpdateRun&) = delete;
    UpdateRun& operator=(const UpdateRun&) = delete;

    // The state before any Update click, as the window initialises; allocates the saved-data
    // buffer.
    void Reset();

    // The Update command up to the worker, on the user-interface thread. Reads the image,
    // identifies the device, reads its data block (or takes the copy an unfinished update left),
    // asks for confirmation and saves a copy of the data block to disk. Nothing is erased or
    // written here. True when the worker is to program the device: the run counts as updating
    // from then on.
    bool Prepare();
    // The worker could not be started after Prepare: the run ends with nothing erased.
    void NotStarted();

    // The worker: erases, writes the image, writes the saved data back, reads it back and reports
    // the result.
    void Program();

    // The window is going away. No worker starts from now on, and a running worker stops before
    // its next device call without touching the window again.
    void Abandon();

    bool IsUpdating() const { return updating.load(); }
    // How the last run ended; set before the run's last log line.
    RunOutcome Outcome() const { return outcome.load(); }
    // The serial number of the Kavix the run is about, as the serial-number question names it.
    int32_t SerialNumber() const { return serialNumber; }
    // While a label question is open: the serial number of the copy it asks about, and whether
    // that copy is the only candidate with that serial number (never for -1), so that a label's
    // serial number stated beforehand can answer it.
    int32_t LabelSerialNumber() const { return labelSerialNumber; }
    bool LabelNamesOneCopy() const { return labelNamesOneCopy; }
    // Whether the run identified a Kavix and read its data block; then what the status record
    // says of it (all but the exit code and the time).
    bool Identified() const { return identified; }
    KavixStatus Status() const;

private:
    // Tests read the state a run leaves.
    friend class UpdateRunTest;

    ProgressBar* progressCtrl = nullptr;
    bool updateStarted = false;
    // Set by the user-interface thread, cleared by the worker once its last device call is made,
    // read by the close guard.
    std::atomic<bool> updating{false};
    int32_t deviceHandle = -1;
    int32_t serialNumber = 0;
    std::unique_ptr<unsigned char[]> savedData;
    std::unique_ptr<FirmwareFile> firmwareFile;

    // The image, read whole before the device is touched; from the preparation to the worker's end.
    std::unique_ptr<unsigned char[]> imageData;
    int32_t imageLength = 0;
    std::unique_ptr<SavedCopyStore> savedCopies;
    // To know the device again before the erase: the version field as read, which the run raises
    // in `savedData`; and where a copy took the block's place, the checksums of the block's
    // sectors as read. A CRC-32 tells apart any two sectors that differ within 32 bits, as two
    // Kavix that differ in their serial number alone do.
    unsigned char versionAsRead[2] = {};
    bool blockReplaced = false;
    uint32_t sectorChecksums[8] = {};
    // What the copy's record says; `before` is kept from the copy's first erase.
    saved_copies::Record record;
    // The CRC-32s of the first MiB as the worker read it before the erase.
    uint32_t firstMiB[16] = {};
    // The copy of the device's data that this run writes back, once it is on disk: unmarked from
    // its save until the worker is about to erase, marked once a cut could leave the device
    // needing it.
    enum class CopyState { none, unmarked, marked };
    CopyState copyState = CopyState::none;
    uint32_t copyChecksum = 0;
    int32_t copySerialNumber = 0;
    // The copy is what an update that did not finish left: the device is finished with it.
    bool recovering = false;
    bool identified = false;
    // Copies that could be the block were found and no answer has set them aside.
    bool copiesUndecided = false;
    int32_t labelSerialNumber = 0;
    bool labelNamesOneCopy = false;

    bool ReadImage();
    bool IdentifyDevice();
    bool ReadDataBlock();
    bool TakeCopyOfUnfinishedUpdate();
    const saved_copies::Copy* ChooseCopy(const std::vector<const saved_copies::Copy*>& candidates);
    bool ReadFirmwareHalf(uint32_t* checksums);
    void LogCopies(const char* what, const std::vector<std::string>& names);
    bool ConfirmUpdate();
    bool SaveCopy();

    // On the worker: whether the device still holds the data block read before the questions.
    enum class DeviceCheck { same, unreadable, other };
    DeviceCheck CheckDeviceAsRead(unsigned char* sector);
    // Records, durably, the first MiB as read and what the run is to write; then marks the copy.
    bool ArmCopy();
    // After an erase that failed: whether the first MiB still reads as before it.
    bool UnchangedSinceArmed(unsigned char* sector);
    bool SameAsRead(int32_t k, const unsigned char* sector) const;
    // Reads back the whole first MiB a sector at a time and compares it with what one complete run
    // leaves: the image, erased up to the data block, the restored span, erased to the end.
    enum class ReadBackResult { same, different, unreadable };
    ReadBackResult ReadBack(unsigned char* sector);
    // The unmarked copy goes with a run that stops before its erase.
    void DiscardUnmarkedCopy();
    void Stop(RunOutcome why);

    // Writes `count` pages from `source` on, advancing the bar after every `threshold` + 2 pages;
    // false if the device refused any of them (every page is still tried).
    bool WritePages(int32_t firstPage, unsigned char* source, int32_t count, int threshold);
    void AdvanceProgress(int& counter, int threshold);
    void LogLines(std::initializer_list<const char*> lines);
    void LogReadError();
    void LogCopyUnreadable(const std::string& name);

    UpdateRunWindow& window;
    std::atomic<bool> abandoned{false};
    std::atomic<RunOutcome> outcome{RunOutcome::none};
};

#endif
