// Common set-up of the update run tests: a simulated Kavix, a fake window and the run itself.
#ifndef ORVFLASH_UPDATE_TESTS_UPDATE_FIXTURE_H
#define ORVFLASH_UPDATE_TESTS_UPDATE_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_window.h"
#include "flash_map.h"
#include "sim_device.h"
#include "std_firmware_file.h"
#include "std_saved_copy_folder.h"
#include "update_run.h"

using Lines = std::vector<std::string>;

inline const Lines kFinishedLines = {"Updating... Do not unplug the Kavix", "",
                                     "Finished updating.", "You may safely close the application."};

inline const std::string kSerialQuestion =
    "Attempting to update Kavix with serial number 20481234, if this is correct and you wish to "
    "continue, click yes";

class UpdateRunTest : public ::testing::Test {
protected:
    UpdateRunTest() {
        auto owned = std::make_unique<StdFirmwareFile>();
        file = owned.get();
        auto folder = std::make_unique<StdSavedCopyFolder>(device.Folder() / "copies");
        copies = folder.get();
        run = std::make_unique<UpdateRun>(window, std::move(owned), std::move(folder));
        window.run = run.get();
        window.writesSoFar = [this] { return device.WriteCalls(); };
        run->Reset();
    }
    ~UpdateRunTest() override { window.JoinWorker(); }

    // Clicks Update and waits for the worker, if one started.
    void Click() {
        run->OnBnClickedUpdate();
        window.JoinWorker();
    }

    // The flash that a complete run over `before` with `image` must leave.
    static Bytes ExpectedFlash(const Bytes& before, const Bytes& image, uint16_t restoredVersion) {
        using namespace flash_map;
        Bytes expected = before;
        std::fill(expected.begin(), expected.begin() + 0x100000, 0xFF);
        std::copy(image.begin(), image.end(), expected.begin());
        std::copy(before.begin() + kDataBlockOffset,
                  before.begin() + kDataBlockOffset + kRestoredSize,
                  expected.begin() + kDataBlockOffset);
        expected[kDataBlockOffset + kFirmwareVersionOffset] = restoredVersion & 0xFF;
        expected[kDataBlockOffset + kFirmwareVersionOffset + 1] = restoredVersion >> 8;
        return expected;
    }

    static Lines Concat(Lines a, const Lines& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }

    std::vector<std::string> CallNames() {
        std::vector<std::string> names;
        for (const auto& call : device.Calls()) {
            names.push_back(call.function);
        }
        return names;
    }

    SimDevice device;
    FakeWindow window;
    StdFirmwareFile* file = nullptr;
    StdSavedCopyFolder* copies = nullptr;
    std::unique_ptr<UpdateRun> run;
};

#endif
