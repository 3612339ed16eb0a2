// The copy of the device's data on disk: saved before the erase, removed after success, and used
// by a later start when the device shows an update that did not finish.
#include <numeric>

#include "crc32.h"
#include "saved_copies.h"
#include "update_fixture.h"

namespace {

Bytes BlockOf(const Bytes& flash) {
    return Slice(flash, layout::kDataBlock, kDataBlockSize);
}

// What a page of a data block holds: each run of BlockWith gives the state of the pages up to its
// end, and the pages after the last run are erased. Torn and partly erased pages hold some of their
// bits, as a cut leaves them.
enum class PageState { copy, writtenBack, erased, foreign, torn, partlyErased };

constexpr int kBlockPages = kDataBlockSize / kPageSize;

Bytes BlockWith(const Bytes& copy, std::initializer_list<std::pair<int, PageState>> runs) {
    Bytes writtenBack = copy;
    RaiseFirmwareVersion(writtenBack.data());
    const auto withSomeBits = [](Bytes bytes) {
        const Bytes someBits = Pattern(bytes.size(), 35);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] |= someBits[i];
        }
        return bytes;
    };
    const Bytes states[] = {copy,
                            writtenBack,
                            Bytes(copy.size(), 0xFF),
                            Pattern(copy.size(), 34),
                            withSomeBits(writtenBack),
                            withSomeBits(copy)};  // as PageState
    Bytes block(copy.size(), 0xFF);
    int page = 0;
    for (const auto& [end, state] : runs) {
        std::copy_n(states[int(state)].begin() + page * kPageSize, (end - page) * kPageSize,
                    block.begin() + page * kPageSize);
        page = end;
    }
    return block;
}

std::string CopyName(const Bytes& block) {
    return saved_copies::FileName(SerialNumberOf(block.data()),
                                  saved_copies::Checksum(block.data()));
}

}  // namespace

TEST(SavedCopyChecksum, IsTheCrc32OfZipAndCarriesOverParts) {
    // Copies saved by earlier builds must still check: the standard check value of "123456789",
    // and zip's CRC of the bytes 0 to 255, whole and in parts that split the eight-byte steps.
    const unsigned char digits[] = "123456789";
    EXPECT_EQ(Crc32(0, digits, 9), 0xCBF43926u);
    EXPECT_EQ(Crc32(Crc32(0, digits, 4), digits + 4, 5), 0xCBF43926u);
    Bytes all(256);
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(Crc32(0, all.data(), 256), 0x29058C73u);
    EXPECT_EQ(Crc32(Crc32(0, all.data(), 3), all.data() + 3, 253), 0x29058C73u);
}

TEST(SavedCopyRule, TellsWhatACutLeavesFromAnotherKavix) {
    using S = PageState;
    using M = saved_copies::Match;
    const Bytes copy = BlockOf(DeviceFlash());
    const struct {
        const char* name;
        Bytes block;
        M match;
    } cases[] = {
        {"equal", copy, M::intact},
        {"written back", BlockWith(copy, {{kBlockPages, S::writtenBack}}), M::cut},
        {"half written back", BlockWith(copy, {{700, S::writtenBack}}), M::cut},
        {"torn page", BlockWith(copy, {{900, S::writtenBack}, {901, S::torn}}), M::cut},
        {"copy and erased", BlockWith(copy, {{1, S::copy}}), M::cut},
        {"version bits partly erased", BlockOf(DeviceFlash(kTestSerial, 6)), M::cut},
        // The serial number is gone with the cut: only the label tells.
        {"erased", BlockWith(copy, {{kBlockPages, S::erased}}), M::unlabelled},
        {"partly erased", BlockWith(copy, {{kBlockPages, S::partlyErased}}), M::unlabelled},
        {"first page torn", BlockWith(copy, {{1, S::torn}}), M::unlabelled},
        {"serial byte erased", BlockOf(DeviceFlash(kTestSerial | 0xFF)), M::unlabelled},
        // Another Kavix of the batch whose serial number holds the copy's bits: no cut touches
        // the serial number alone.
        {"twin", BlockOf(DeviceFlash(kTestSerial | 1)), M::foreign},
        {"foreign", BlockWith(copy, {{kBlockPages, S::foreign}}), M::foreign},
        {"one foreign page", BlockWith(copy, {{300, S::writtenBack}, {301, S::foreign}}),
         M::foreign},
        {"foreign first page", BlockWith(copy, {{1, S::foreign}}), M::foreign},
        // 4 to 2 clears a bit that neither the copy nor the version written back has clear.
        {"version lowered", BlockOf(DeviceFlash(kTestSerial, 2)), M::foreign},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(saved_copies::Compare(copy.data(), c.block.data()), c.match) << c.name;
    }
    // An erased copy holds what an erased block holds.
    const Bytes erased(kDataBlockSize, 0xFF);
    EXPECT_EQ(saved_copies::Compare(erased.data(), erased.data()), M::intact);
}

// A device as an interrupted update left it, and a copy saved before that update's erase, kept
// twice (a copy of the file made in Explorer counts once).
TEST_F(UpdateRunTest, UnfinishedUpdateIsFinishedFromTheSavedCopy) {
    const Bytes original = DeviceFlash();
    const Bytes image = Pattern(20 * 256, 30);
    const Bytes finished = FlashAfterRun(original, image);
    // The flash after the erase, `imageBytes` of the image and `restoredPages` written back.
    const auto cutShort = [&](std::size_t imageBytes, int restoredPages) {
        Bytes flash = original;
        std::fill_n(flash.begin(), layout::kMiB, 0xFF);
        std::copy_n(image.begin(), imageBytes, flash.begin());
        std::copy_n(finished.begin() + kDataBlockOffset, restoredPages * kPageSize,
                    flash.begin() + kDataBlockOffset);
        return flash;
    };
    const std::string labelQuestion = LabelQuestion(kTestSerial, -1);
    const struct {
        const char* name;
        Bytes flash;
        bool recovered;
        Lines questions;
    } cases[] = {
        {"killed after the erase", cutShort(0, 0), true, {labelQuestion, kSerialQuestion}},
        {"killed in the image", cutShort(2560, 0), true, {labelQuestion, kSerialQuestion}},
        {"killed in the write-back", cutShort(image.size(), 900), true, {kSerialQuestion}},
        {"killed before the erase", original, false, {kSerialQuestion}},
    };
    const Bytes copy = BlockOf(original);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        device.WriteFlash(c.flash);
        device.WriteImage(image);
        ASSERT_TRUE(saved_copies::SaveMarked(*copies, copy.data()));
        std::filesystem::copy_file(device.Folder() / "copies" / CopyName(copy),
                                   device.Folder() / "copies" / "Kavix-1 - Copy.copy");
        FakeWindow second;
        ClickInNewStart(second);

        const Lines log = c.recovered ? Lines{kIdentifying, kRecovered} : Lines{kIdentifying};
        EXPECT_EQ(second.Log(), Concat(log, kFinishedLines));
        EXPECT_EQ(second.Questions(), c.questions);
        EXPECT_EQ(device.Flash(), finished);
        EXPECT_TRUE(copies->Names().empty());
    }
}

TEST_F(UpdateRunTest, CopiesThatCannotBeTrustedAreNeverWrittenBack) {
    // Two copies of one Kavix, and a block cut short after its first page that reads as either:
    // neither is chosen, and nothing is erased.
    const Bytes own = DeviceFlash(1, 4);
    Bytes other = BlockOf(own);
    other[700] ^= 0xFF;
    Bytes erasedFlash = own;
    std::fill(erasedFlash.begin() + layout::kDataBlock + kPageSize,
              erasedFlash.begin() + layout::kMiB, 0xFF);
    device.WriteFlash(erasedFlash);
    device.WriteImage(Pattern(256, 31));
    ASSERT_TRUE(saved_copies::SaveMarked(*copies, BlockOf(own).data()));
    ASSERT_TRUE(saved_copies::SaveMarked(*copies, other.data()));
    Click();
    EXPECT_EQ(window.Log(),
              (Lines{kIdentifying,
                     "Saved data of more than one Kavix could belong to this one, unable to "
                     "continue.",
                     kAdvice, ""}));
    EXPECT_EQ(device.Calls().size(), 2u + 8);
    EXPECT_EQ(device.Flash(), erasedFlash);
    EXPECT_EQ(copies->Names().size(), 2u);
}

// Where more than one copy could be the block, the serial number it reads is no evidence: each is
// asked about, naming both numbers, and only a Yes writes one back. No to all updates the device
// with its own data and keeps the copies.
TEST_F(UpdateRunTest, LabelDecidesWhenMoreThanOneCopyCouldBeTheBlock) {
    constexpr int32_t kTwin = kTestSerial | 0x100;  // a cut erase can turn ours into this one
    Bytes erased = DeviceFlash(1, 4);
    std::fill_n(erased.begin(), layout::kMiB, 0xFF);
    // Ours, cut in the erase of its data block: its serial number reads the twin's.
    Bytes cut = erased;
    std::copy_n(DeviceFlash(kTwin).begin() + layout::kDataBlock, kPageSize,
                cut.begin() + layout::kDataBlock);
    const Bytes image = Pattern(256, 31);
    const struct {
        const char* name;
        std::vector<int32_t> copies;
        Bytes flash;
        std::deque<int> answers;
        Lines questions;
        int32_t written;  // whose data the device holds after the run; 0: its own
    } cases[] = {
        {"erased, Yes to the first",
         {1, 2},
         erased,
         {kAnswerYes},
         {LabelQuestion(1, -1), SerialQuestion(1)},
         1},
        {"erased, No to both",
         {1, 2},
         erased,
         {kAnswerNo, kAnswerNo},
         {LabelQuestion(1, -1), LabelQuestion(2, -1), kUpToDateQuestion, SerialQuestion(-1)},
         0},
        // The twin's copy, whose serial number the block reads whole, comes first.
        {"serial number turned into a twin's",
         {kTwin, kTestSerial},
         cut,
         {kAnswerNo, kAnswerYes},
         {LabelQuestion(kTwin, kTwin), LabelQuestion(kTestSerial, kTwin), kSerialQuestion},
         kTestSerial},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(device.Folder() / "copies");
        for (const int32_t serial : c.copies) {
            ASSERT_TRUE(saved_copies::SaveMarked(*copies, BlockOf(DeviceFlash(serial)).data()));
        }
        device.WriteFlash(c.flash);
        device.WriteImage(image);
        FakeWindow second;
        second.answers = c.answers;
        ClickInNewStart(second);
        EXPECT_EQ(second.Questions(), c.questions);
        EXPECT_EQ(second.QuestionKinds()[0], Question::label);
        EXPECT_EQ(device.Flash(),
                  FlashAfterRun(c.written == 0 ? c.flash : DeviceFlash(c.written), image));
        EXPECT_EQ(copies->Names().size(), c.copies.size() - (c.written != 0));
    }
}

// A torn temporary file is what a cut while saving leaves, and is passed over; a copy that cannot
// be checked may hold a device's only data, and stops the run with nothing touched.
TEST_F(UpdateRunTest, TornCopyStopsTheRunUnlessItIsTemporary) {
    const Bytes own = DeviceFlash();
    const Bytes image = Pattern(256, 32);
    const Bytes foreign = BlockOf(DeviceFlash(555, 4));
    ASSERT_TRUE(saved_copies::SaveMarked(*copies, foreign.data()));
    const std::filesystem::path torn = device.Folder() / "copies" / CopyName(BlockOf(own));
    ASSERT_TRUE(saved_copies::SaveMarked(*copies, BlockOf(own).data()));
    std::filesystem::resize_file(torn, std::filesystem::file_size(torn) - 1);
    std::filesystem::rename(torn, torn.string() + ".tmp");
    device.WriteImage(image);
    Click();
    EXPECT_EQ(window.Log(), kFinishedRun);
    EXPECT_EQ(device.Flash(), FlashAfterRun(own, image));
    // The foreign copy is neither used nor removed.
    EXPECT_EQ(copies->Names(), std::vector<std::string>{CopyName(foreign)});

    ASSERT_TRUE(saved_copies::SaveMarked(*copies, BlockOf(own).data()));
    std::filesystem::resize_file(torn, std::filesystem::file_size(torn) - 1);
    device.WriteFlash(own);
    FakeWindow second;
    ClickInNewStart(second);
    EXPECT_EQ(second.Log(),
              Concat({kIdentifying}, CopyUnreadable(torn.filename().string(), copies->Where())));
    EXPECT_EQ(second.workerStarts, 0);
    EXPECT_EQ(device.Flash(), own);
}

TEST_F(UpdateRunTest, CopyIsSavedBeforeTheEraseAndKeptUntilSuccess) {
    const Bytes before = device.Flash();
    device.WriteImage(Pattern(256, 33));
    // After a failure the copy stays, holding the block as read (version 4, not yet raised).
    device.SetFault("ORV_SIM_UNPLUG_AFTER", "50");
    Click();
    const Bytes block = BlockOf(before);
    Bytes kept(kDataBlockSize);
    ASSERT_TRUE(saved_copies::Load(*copies, CopyName(block), kept.data()));
    EXPECT_EQ(kept, block);

    // A store that cannot save stops the run before the erase.
    device.WriteFlash(before);
    device.SetFault("ORV_SIM_UNPLUG_AFTER", "");
    FakeWindow second;
    auto folder = std::make_unique<StdSavedCopyFolder>(device.Folder() / "other");
    folder->failWrite = true;
    ::ClickInNewStart(second, std::make_unique<StdFirmwareFile>(), std::move(folder));
    EXPECT_EQ(
        second.Log(),
        (Lines{kIdentifying, "Unable to save a copy of the device data, unable to continue.", ""}));
    EXPECT_EQ(second.workerStarts, 0);
    EXPECT_EQ(device.Flash(), before);
}

// A copy counts only once its run was about to erase; one that a finished update could not remove
// is never taken again, and goes at the next start.
TEST_F(UpdateRunTest, OnlyACopyMarkedBeforeItsEraseIsWrittenBack) {
    const Bytes image = Pattern(256, 36);
    device.WriteImage(image);
    const Bytes own = DeviceFlash(kTestSerial, 5);
    const Bytes block = BlockOf(own);
    Bytes erased = own;
    std::fill_n(erased.begin(), layout::kMiB, 0xFF);

    // Saved by a run that stopped before its erase; the Kavix has since erased a sector of its own.
    uint32_t checksum = 0;
    bool marked = false;
    ASSERT_TRUE(saved_copies::Save(*copies, block.data(), checksum, marked));
    Bytes changed = own;
    std::fill_n(changed.begin() + layout::kDataBlock + 3 * kSectorSize, kSectorSize, 0xFF);
    device.WriteFlash(changed);
    FakeWindow first;
    ClickInNewStart(first);
    EXPECT_EQ(first.Log(), Concat({kIdentifying, kUpToDate}, kFinishedLines));
    EXPECT_EQ(device.Flash(), FlashAfterRun(changed, image));
    EXPECT_EQ(copies->Names(), std::vector<std::string>{});

    // An unfinished update is finished without asking whether the firmware is up to date.
    ASSERT_TRUE(saved_copies::SaveMarked(*copies, block.data()));
    device.WriteFlash(erased);
    FakeWindow second;
    auto stuck = CopyFolder();
    stuck->failRemove = true;
    ::ClickInNewStart(second, std::make_unique<StdFirmwareFile>(), std::move(stuck));
    EXPECT_EQ(second.Questions(), (Lines{LabelQuestion(kTestSerial, -1), kSerialQuestion}));
    const std::string name = CopyName(block);
    EXPECT_EQ(second.Log(), Concat({kIdentifying, kRecovered, kUpdating,
                                    "The saved copy " + name + " in " + copies->Where() +
                                        " could not be removed; the next start removes it."},
                                   kFinished));
    EXPECT_EQ(device.Flash(), FlashAfterRun(own, image));

    // The next start removes it, and never takes it for an update that did not finish.
    device.WriteFlash(erased);
    FakeWindow third;
    ClickInNewStart(third);
    EXPECT_EQ(third.Log(), Concat({kIdentifying, kUpToDate}, kFinishedLines));
    EXPECT_EQ(device.Flash(), FlashAfterRun(erased, image));
    EXPECT_EQ(copies->Names(), std::vector<std::string>{});
}
