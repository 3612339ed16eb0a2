// The copy of the device's data on disk: saved before the erase, removed after success, and used
// by a later start when the device shows an update that did not finish.
#include <cstring>

#include "crc32.h"
#include "kavix_layout.h"
#include "saved_copies.h"
#include "update_fixture.h"

using namespace flash_map;

namespace {

Bytes BlockOf(const Bytes& flash) {
    return Slice(flash, layout::kDataBlock, kDataBlockSize);
}

// What a page of a data block holds: each run of BlockWith gives the state of the pages up to its
// end.
enum class PageState { copy, writtenBack, erased, foreign };

Bytes BlockWith(const Bytes& copy, std::initializer_list<std::pair<int, PageState>> runs) {
    Bytes writtenBack = copy;
    RaiseFirmwareVersion(writtenBack.data());
    const Bytes foreign = Pattern(copy.size(), 34);
    Bytes block(copy.size(), 0xFF);
    int page = 0;
    for (const auto& [end, state] : runs) {
        for (; page < end; ++page) {
            const Bytes* from = state == PageState::copy          ? &copy
                                : state == PageState::writtenBack ? &writtenBack
                                : state == PageState::foreign     ? &foreign
                                                                  : nullptr;
            if (from != nullptr) {
                std::copy_n(from->begin() + page * kPageSize, kPageSize,
                            block.begin() + page * kPageSize);
            }
        }
    }
    return block;
}

constexpr int kBlockPages = kDataBlockSize / kPageSize;

// A later start of the program on the same device: a window and a run of its own, with `store`
// for the copies. Clicks Update and waits for the worker, if one started.
void ClickInNewStart(FakeWindow& window, std::unique_ptr<SavedCopyStore> store) {
    UpdateRun run(window, std::make_unique<StdFirmwareFile>(), std::move(store));
    window.run = &run;
    run.Reset();
    run.OnBnClickedUpdate();
    window.JoinWorker();
    window.run = nullptr;
}

}  // namespace

TEST(SavedCopyChecksum, IsTheCrc32OfZipAndCarriesOverParts) {
    // Copies saved by earlier builds must still check: the standard check value of "123456789",
    // and zip's CRC of the bytes 0 to 255, whole and in parts that split the eight-byte steps.
    const unsigned char digits[] = "123456789";
    EXPECT_EQ(Crc32(0, digits, 9), 0xCBF43926u);
    EXPECT_EQ(Crc32(Crc32(0, digits, 4), digits + 4, 5), 0xCBF43926u);
    unsigned char all[256];
    for (int i = 0; i < 256; ++i) {
        all[i] = static_cast<unsigned char>(i);
    }
    EXPECT_EQ(Crc32(0, all, 256), 0x29058C73u);
    EXPECT_EQ(Crc32(Crc32(0, all, 3), all + 3, 253), 0x29058C73u);
}

TEST(SavedCopyRule, AppliesOnlyToWhatAnUnfinishedUpdateLeaves) {
    using S = PageState;
    const Bytes copy = BlockOf(DeviceFlash());
    const struct {
        const char* name;
        Bytes block;
        bool applies;
    } cases[] = {
        {"equal", BlockWith(copy, {{kBlockPages, S::copy}}), true},
        {"written back", BlockWith(copy, {{kBlockPages, S::writtenBack}}), true},
        {"erased", BlockWith(copy, {{kBlockPages, S::erased}}), true},
        {"half written back", BlockWith(copy, {{700, S::writtenBack}, {kBlockPages, S::erased}}),
         true},
        {"copy and erased", BlockWith(copy, {{1, S::copy}, {kBlockPages, S::erased}}), true},
        {"foreign", BlockWith(copy, {{kBlockPages, S::foreign}}), false},
        {"one foreign page",
         BlockWith(copy, {{300, S::writtenBack}, {301, S::foreign}, {kBlockPages, S::erased}}),
         false},
        {"foreign first page", BlockWith(copy, {{1, S::foreign}, {kBlockPages, S::erased}}), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(saved_copies::Applies(copy.data(), c.block.data()), c.applies) << c.name;
    }
    // A version raised to anything but 5 is not what a run writes back.
    Bytes other = copy;
    other[kFirmwareVersionOffset] = 6;
    EXPECT_FALSE(saved_copies::Applies(copy.data(), other.data()));
    // An erased copy gives nothing back and would match every erased device.
    const Bytes erased(kDataBlockSize, 0xFF);
    EXPECT_FALSE(saved_copies::Applies(erased.data(), erased.data()));
}

// A device as an interrupted update left it, and a copy saved before that update's erase.
TEST_F(UpdateRunTest, UnfinishedUpdateIsFinishedFromTheSavedCopy) {
    const Bytes original = DeviceFlash();
    const Bytes image = Pattern(20 * 256, 30);
    const Bytes finished = FlashAfterRun(original, image);
    // The flash after the erase, `imageBytes` of the image and `restoredPages` written back.
    const auto cutShort = [&](std::size_t imageBytes, int restoredPages) {
        Bytes flash = original;
        std::fill(flash.begin(), flash.begin() + layout::kMiB, 0xFF);
        std::copy_n(image.begin(), imageBytes, flash.begin());
        std::copy_n(finished.begin() + kDataBlockOffset, restoredPages * kPageSize,
                    flash.begin() + kDataBlockOffset);
        return flash;
    };
    const struct {
        const char* name;
        Bytes flash;
        bool recovered;
    } cases[] = {
        {"killed after the erase", cutShort(0, 0), true},
        {"killed in the image", cutShort(2560, 0), true},
        {"killed in the write-back", cutShort(image.size(), 900), true},
        {"killed before the erase", original, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        device.WriteFlash(c.flash);
        device.WriteImage(image);
        ASSERT_TRUE(saved_copies::Save(*copies, BlockOf(original).data()));
        FakeWindow second;
        ClickInNewStart(second, std::make_unique<StdSavedCopyFolder>(device.Folder() / "copies"));

        Lines log = {kIdentifying};
        if (c.recovered) {
            log.push_back(kRecovered);
        }
        EXPECT_EQ(second.Log(), Concat(log, kFinishedLines));
        EXPECT_EQ(second.Questions(), Lines{kSerialQuestion});
        EXPECT_EQ(device.ReadFlash(), finished);
        EXPECT_TRUE(copies->Names().empty());
    }
}

TEST_F(UpdateRunTest, CopiesThatCannotBeTrustedAreNeverWrittenBack) {
    Bytes erasedFlash = DeviceFlash(1, 4);
    std::fill(erasedFlash.begin(), erasedFlash.begin() + layout::kMiB, 0xFF);
    const Lines kAmbiguous = {
        kIdentifying,
        "Saved data of more than one Kavix could belong to this one, unable to continue.", kAdvice,
        ""};
    // Two copies match an erased block: neither is chosen, and nothing is erased.
    device.WriteFlash(erasedFlash);
    device.WriteImage(Pattern(256, 31));
    ASSERT_TRUE(saved_copies::Save(*copies, BlockOf(DeviceFlash(1, 4)).data()));
    ASSERT_TRUE(saved_copies::Save(*copies, BlockOf(DeviceFlash(2, 4)).data()));
    Click();
    EXPECT_EQ(window.Log(), kAmbiguous);
    EXPECT_EQ(device.Calls().size(), 2u + 8);
    EXPECT_EQ(device.ReadFlash(), erasedFlash);
    EXPECT_EQ(copies->Names().size(), 2u);
}

TEST_F(UpdateRunTest, DamagedOrForeignCopyIsLeftAlone) {
    const Bytes own = DeviceFlash();
    const Bytes image = Pattern(256, 32);
    const std::string foreignName = saved_copies::FileName(555);
    ASSERT_TRUE(saved_copies::Save(*copies, BlockOf(DeviceFlash(555, 4)).data()));
    // The copy of this very device, torn: its last byte lost.
    ASSERT_TRUE(saved_copies::Save(*copies, BlockOf(own).data()));
    const std::filesystem::path torn =
        device.Folder() / "copies" / saved_copies::FileName(kTestSerial);
    std::filesystem::resize_file(torn, std::filesystem::file_size(torn) - 1);
    device.WriteImage(image);
    Click();

    // A healthy device keeps its own data; the foreign copy is neither used nor removed.
    EXPECT_EQ(window.Log(), Concat({kIdentifying}, kFinishedLines));
    EXPECT_EQ(device.ReadFlash(), FlashAfterRun(own, image));
    EXPECT_EQ(copies->Names(), std::vector<std::string>{foreignName});
}

TEST_F(UpdateRunTest, CopyIsSavedBeforeTheEraseAndKeptUntilSuccess) {
    const Bytes before = device.ReadFlash();
    device.WriteImage(Pattern(256, 33));
    // After a failure the copy stays, holding the block as read (version 4, not yet raised).
    SimDevice::SetFault("ORV_SIM_UNPLUG_AFTER", "50");
    Click();
    std::vector<unsigned char> file;
    ASSERT_TRUE(copies->Read(saved_copies::FileName(kTestSerial), file, 1 << 20));
    const Bytes block = BlockOf(before);
    EXPECT_NE(std::search(file.begin(), file.end(), block.begin(), block.end()), file.end());

    // A store that cannot save stops the run before the erase.
    device.WriteFlash(before);
    SimDevice::SetFault("ORV_SIM_UNPLUG_AFTER", "");
    FakeWindow second;
    auto folder = std::make_unique<StdSavedCopyFolder>(device.Folder() / "other");
    folder->failWrite = true;
    ClickInNewStart(second, std::move(folder));
    EXPECT_EQ(
        second.Log(),
        (Lines{kIdentifying, "Unable to save a copy of the device data, unable to continue.", ""}));
    EXPECT_EQ(second.workerStarts, 0);
    EXPECT_EQ(device.ReadFlash(), before);
}
