// Common set-up of the update run tests: a simulated Kavix, a fake window and the run itself.
#ifndef ORVFLASH_UPDATE_TESTS_UPDATE_FIXTURE_H
#define ORVFLASH_UPDATE_TESTS_UPDATE_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "expected_calls.h"
#include "kavix_flash.h"
#include "expected_text.h"
#include "fake_window.h"
#include "flash_map.h"
#include "bytes.h"
#include "crc32.h"
#include "saved_copies.h"
#include "simulated_kavix.h"
#include "std_firmware_file.h"
#include "std_saved_copy_folder.h"
#include "update_run.h"

using namespace flash_map;

inline const Lines kFinishedLines = Concat({kUpdating}, kFinished);
inline const Lines kFinishedRun = Concat({kIdentifying}, kFinishedLines);
inline const std::string kSerialQuestion = SerialQuestion(kTestSerial);

// A table's cases go by their `name`: in test names, and where gtest prints the case.
inline const auto kCaseName = [](const auto& info) { return std::string(info.param.name); };
template <class Case>
auto operator<<(std::ostream& out, const Case& c) -> decltype(void(c.name), out) {
    return out << c.name;
}

// A start of the program with `window`, and a click on Update, waiting for any worker.
inline void ClickInNewStart(FakeWindow& window, std::unique_ptr<FirmwareFile> file,
                            std::unique_ptr<SavedCopyStore> store) {
    UpdateRun run(window, std::move(file), std::move(store));
    window.run = &run;
    run.Reset();
    window.ClickUpdate();
    window.JoinWorker();
    window.run = nullptr;
}

// The record that a run on `before` with `image` leaves beside its copy, having got to `stage`.
inline saved_copies::Record RunRecord(const Bytes& before, const Bytes& image,
                                      saved_copies::Record::Stage stage) {
    saved_copies::Record record;
    record.stage = stage;
    record.beforeKnown = true;
    Bytes written(kImageSize, 0xFF);
    std::copy(image.begin(), image.end(), written.begin());
    for (int k = 0; k < 16; ++k) {
        record.before[k] = Crc32(0, before.data() + k * kSectorSize, std::size_t(kSectorSize));
        if (k < 8) {
            record.image[k] = Crc32(0, written.data() + k * kSectorSize, std::size_t(kSectorSize));
        }
    }
    return record;
}

// The flash of a Kavix whose data has `version`; 0xFFFF: the whole data block erased.
inline Bytes DeviceFlashOrBlank(uint16_t version) {
    Bytes flash = DeviceFlash(kTestSerial, version);
    if (version == 0xFFFF) {
        std::fill_n(flash.begin() + kDataBlockOffset, kDataBlockSize, 0xFF);
    }
    return flash;
}

// The name of the copy of `block` that a run saves and marks.
inline std::string CopyName(const unsigned char* block) {
    return saved_copies::FileName(SerialNumberOf(block), saved_copies::Checksum(block));
}

class UpdateRunTest : public ::testing::Test {
protected:
    UpdateRunTest() {
        auto owned = std::make_unique<StdFirmwareFile>();
        file = owned.get();
        auto folder = CopyFolder();
        copies = folder.get();
        run = std::make_unique<UpdateRun>(window, std::move(owned), std::move(folder));
        window.run = run.get();
        window.writesSoFar = [this] { return device.WriteCalls(); };
        run->Reset();
    }
    ~UpdateRunTest() override { window.JoinWorker(); }

    void Click() {
        window.ClickUpdate();
        window.JoinWorker();
    }
    int32_t SerialNumber() const { return run->serialNumber; }
    bool Started() const { return run->updateStarted; }
    bool HoldsImage() const { return run->imageData != nullptr; }

    // A later start of the program on the same device, with the same image and copies.
    void ClickInNewStart(FakeWindow& later) {
        ::ClickInNewStart(later, std::make_unique<StdFirmwareFile>(), CopyFolder());
    }
    std::unique_ptr<StdSavedCopyFolder> CopyFolder() const {
        return std::make_unique<StdSavedCopyFolder>(device.Folder() / "copies");
    }

    kavix_test::SimulatedKavix device;
    FakeWindow window;
    StdFirmwareFile* file = nullptr;
    StdSavedCopyFolder* copies = nullptr;
    std::unique_ptr<UpdateRun> run;
};

#endif
