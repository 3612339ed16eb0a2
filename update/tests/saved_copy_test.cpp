// The copy of the device's data on disk: saved before the erase, removed after success, and used
// by a later start when the device shows an update that did not finish.
#include <fstream>
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

}  // namespace

TEST(SavedCopyChecksum, IsTheCrc32OfZipAndCarriesOverParts) {
    // Copies saved by earlier builds must still check: the standard check value of "123456789",
    // and zip's CRC of the bytes 0 to 255, whole and in parts that split the sixteen-byte steps.
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

// A device as an interrupted update left it, and a copy saved before that update's erase with the
// record that the run got to `stage`, kept twice (a copy of the file made in Explorer counts once).
// A copy whose erase never began, or that served, is set aside and the Kavix keeps its own data.
TEST_F(UpdateRunTest, UnfinishedUpdateIsFinishedFromTheSavedCopy) {
    using Stage = saved_copies::Record::Stage;
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
    // The Kavix erased a sector of its own data.
    const auto withSectorErased = [](Bytes flash, int sector) {
        std::fill_n(flash.begin() + layout::kDataBlock + sector * kSectorSize, kSectorSize, 0xFF);
        return flash;
    };
    const std::string labelQuestion = LabelQuestion(kTestSerial, -1);
    const struct {
        const char* name;
        Bytes flash;
        int stage;  // 0: no record, as an earlier version saved it
        bool recovered;
        Lines questions;
        bool renameFails = false;
    } cases[] = {
        {"killed after the erase",
         cutShort(0, 0),
         Stage::erased,
         true,
         {labelQuestion, kSerialQuestion}},
        {"killed in the image",
         cutShort(2560, 0),
         Stage::erased,
         true,
         {labelQuestion, kSerialQuestion}},
        {"killed in the write-back",
         cutShort(image.size(), 900),
         Stage::erased,
         true,
         {kSerialQuestion}},
        {"killed in the last page",
         cutShort(image.size(), kRestoredPages - 1),
         Stage::written,
         true,
         {kSerialQuestion}},
        // A complete device whose read-back failed, or whose run was cut before the removal: the
        // same data is written again.
        {"killed after the read-back", finished, Stage::written, true, {kSerialQuestion}},
        {"killed in the erase",
         cutShort(0, 0),
         Stage::armed,
         true,
         {labelQuestion, kSerialQuestion}},
        // Copies of the last release have no record: always asked.
        {"earlier version, killed in the write-back",
         cutShort(image.size(), 900),
         0,
         true,
         {LabelQuestion(kTestSerial, kTestSerial), kSerialQuestion}},
        {"killed before the erase", original, Stage::armed, false, {kSerialQuestion}},
        {"killed before the erase, then a sector erased",
         withSectorErased(original, 3),
         Stage::armed,
         false,
         {kSerialQuestion}},
        {"served, then a sector erased",
         withSectorErased(finished, 1),
         Stage::written,
         false,
         {kUpToDateQuestion, kSerialQuestion}},
        {"served, then the last sector written back erased",
         withSectorErased(finished, 6),
         Stage::written,
         false,
         {kUpToDateQuestion, kSerialQuestion}},
        {"served before the last page's record, then a sector erased",
         withSectorErased(finished, 2),
         Stage::erased,
         false,
         {kUpToDateQuestion, kSerialQuestion}},
        // Kept with its record: the next start sets it aside again, not asks with a false reason.
        {"killed before the erase, no rename",
         original,
         Stage::armed,
         false,
         {kSerialQuestion},
         true},
    };
    const Bytes copy = BlockOf(original);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(device.Folder() / "copies");
        device.WriteFlash(c.flash);
        device.WriteImage(image);
        const saved_copies::Record record = RunRecord(original, image, Stage(c.stage));
        ASSERT_TRUE(saved_copies::SaveMarked(*copies, copy.data(), c.stage ? &record : nullptr));
        std::filesystem::copy_file(device.Folder() / "copies" / CopyName(copy.data()),
                                   device.Folder() / "copies" / "Kavix-1 - Copy.copy");
        FakeWindow second;
        second.answers = {kAnswerYes, kAnswerYes};
        const std::vector<std::string> saved = copies->Names();
        std::vector<std::string> keptNames;
        second.onLog = [&](const std::string& line) {
            if (line.find("could not be set aside") != std::string::npos && keptNames.empty()) {
                keptNames = copies->Names();
            }
        };
        auto store = CopyFolder();
        store->failRename = c.renameFails;
        ::ClickInNewStart(second, std::make_unique<StdFirmwareFile>(), std::move(store));

        EXPECT_EQ(FirstParagraphs(second.Questions()), c.questions);
        EXPECT_EQ(second.QuestionKinds()[0] == Question::label,
                  c.questions[0] == labelQuestion || (c.questions.size() > 1 && c.recovered));
        if (c.recovered) {
            EXPECT_EQ(second.Log(), Concat({kIdentifying, kRecovered}, kFinishedLines));
            EXPECT_EQ(device.Flash(), finished);
            EXPECT_TRUE(copies->Names().empty());
            continue;
        }
        const std::string folder = copies->Where();
        const std::vector<std::string> aside = {"Kavix-1 - Copy.copy.aside",
                                                CopyName(copy.data()) + ".aside"};
        const std::vector<std::string> named = {"Kavix-1 - Copy.copy", CopyName(copy.data())};
        const char* const kept = c.renameFails ? " could not be set aside and is kept."
                                               : " is kept under that name, which no start takes.";
        const std::vector<std::string>& logged = c.renameFails ? named : aside;
        EXPECT_EQ(second.Log(),
                  Concat({kIdentifying,
                          "The saved copy Kavix-1 - Copy.copy in " + folder +
                              " is not written back: the Kavix was not erased by its update, or "
                              "holds it already and has changed its data since.",
                          "The saved copy " + logged[0] + " in " + folder + kept,
                          "The saved copy " + logged[1] + " in " + folder + kept,
                          c.questions.size() > 1 ? kUpToDate : kUpdating},
                         c.questions.size() > 1 ? kFinishedLines : kFinished));
        EXPECT_EQ(device.Flash(), FlashAfterRun(c.flash, image));
        // This run's own copy is the same, and goes with it once the update has finished.
        EXPECT_EQ(keptNames, c.renameFails ? saved : std::vector<std::string>{});
        EXPECT_EQ(copies->Names(), c.renameFails ? std::vector<std::string>{} : aside);
    }
}

TEST_F(UpdateRunTest, CopiesThatCannotBeTrustedAreNeverWrittenBack) {
    // Two copies of one Kavix, and a block cut short after its first page that reads as either:
    // each is asked about, and No to both updates the Kavix with what it holds.
    const Bytes own = DeviceFlash(1, 4);
    Bytes other = BlockOf(own);
    other[700] ^= 0xFF;
    Bytes erasedFlash = own;
    std::fill(erasedFlash.begin() + layout::kDataBlock + kPageSize,
              erasedFlash.begin() + layout::kMiB, 0xFF);
    device.WriteFlash(erasedFlash);
    const Bytes image = Pattern(256, 31);
    device.WriteImage(image);
    const saved_copies::Record record = RunRecord(own, image, saved_copies::Record::erased);
    ASSERT_TRUE(saved_copies::SaveMarked(*copies, BlockOf(own).data(), &record));
    ASSERT_TRUE(saved_copies::SaveMarked(*copies, other.data(), &record));
    window.answers = {kAnswerNo, kAnswerNo};
    Click();
    const Lines questions = window.Questions();
    ASSERT_EQ(questions.size(), 3u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(FirstParagraph(questions[i]), LabelQuestion(1, 1));
        EXPECT_NE(questions[i].find("Asked because more than one saved copy could be the data "
                                    "this Kavix held."),
                  std::string::npos);
    }
    EXPECT_EQ(device.Flash(), FlashAfterRun(erasedFlash, image));
    EXPECT_EQ(copies->Names().size(), 4u);
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
        std::vector<int32_t> copies;  // saved in this order: the newest is asked about first
        Bytes flash;
        std::deque<int> answers;
        Lines questions;
        int32_t written;  // whose data the device holds after the run; 0: its own
    } cases[] = {
        {"erased, Yes to the first",
         {2, 1},
         erased,
         {kAnswerYes},
         {LabelQuestion(1, -1), SerialQuestion(1)},
         1},
        {"erased, No to both",
         {2, 1},
         erased,
         {kAnswerNo, kAnswerNo},
         {LabelQuestion(1, -1), LabelQuestion(2, -1), kUpToDateQuestion, SerialQuestion(-1)},
         0},
        // The twin's copy, whose serial number the block reads whole, comes first.
        {"serial number turned into a twin's",
         {kTestSerial, kTwin},
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
        EXPECT_EQ(FirstParagraphs(second.Questions()), c.questions);
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
    const std::filesystem::path torn = device.Folder() / "copies" / CopyName(BlockOf(own).data());
    ASSERT_TRUE(saved_copies::SaveMarked(*copies, BlockOf(own).data()));
    std::filesystem::resize_file(torn, std::filesystem::file_size(torn) - 1);
    std::filesystem::rename(torn, torn.string() + ".tmp");
    device.WriteImage(image);
    Click();
    // The foreign copy is neither used nor removed, and the log names it.
    EXPECT_EQ(window.Log(),
              Concat({kIdentifying, "The saved copy " + CopyName(foreign.data()) + " in " +
                                        copies->Where() + " is of another Kavix and is kept."},
                     kFinishedLines));
    EXPECT_EQ(device.Flash(), FlashAfterRun(own, image));
    EXPECT_EQ(copies->Names(), std::vector<std::string>{CopyName(foreign.data())});

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
    ASSERT_TRUE(saved_copies::Load(*copies, CopyName(block.data()), kept.data()));
    EXPECT_EQ(kept, block);

    // A store that cannot save stops the run before the erase.
    device.WriteFlash(before);
    device.SetFault("ORV_SIM_UNPLUG_AFTER", "");
    FakeWindow second;
    auto folder = std::make_unique<StdSavedCopyFolder>(device.Folder() / "other");
    folder->failWrite = true;
    ::ClickInNewStart(second, std::make_unique<StdFirmwareFile>(), std::move(folder));
    EXPECT_EQ(second.Log(),
              (Lines{kIdentifying,
                     "Unable to save a copy of the device data in " +
                         (device.Folder() / "other").string() + ", unable to continue.",
                     ""}));
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
    EXPECT_EQ(FirstParagraphs(second.Questions()),
              (Lines{LabelQuestion(kTestSerial, -1), kSerialQuestion}));
    const std::string name = CopyName(block.data());
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

// A serial number that proves nothing, a copy or mark of an untrusted writer: the copy is asked
// about, though the block reads its serial number whole, and Yes still finishes the update.
TEST_F(UpdateRunTest, CopiesThatProveNothingAreAskedAbout) {
    using Stage = saved_copies::Record::Stage;
    const Bytes image = Pattern(20 * 256, 37);
    const struct {
        const char* name;
        int32_t serial;
        int tornFirstPage;      // 1: the first page of the block is torn
        const char* untrusted;  // "copy", "record", "mark" or ""
        std::string why;
    } cases[] = {
        {"blank serial number", -1, 0, "", "the copy's serial number is blank (-1)"},
        {"first page torn", kTestSerial, 1, "", "the first page of the Kavix's data is partly"},
        {"copy of another account", kTestSerial, 0, "copy", "another account wrote the copy"},
        {"record of another account", kTestSerial, 0, "record", "kept no record"},
        {"mark of another account", kTestSerial, 0, "mark", "kept no record"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(device.Folder() / "copies");
        const Bytes original = DeviceFlash(c.serial);
        const Bytes finished = FlashAfterRun(original, image);
        // Cut in the write-back, with the image written and 900 pages restored.
        Bytes flash = finished;
        std::fill(flash.begin() + kDataBlockOffset + 900 * kPageSize,
                  flash.begin() + kDataBlockOffset + kDataBlockSize, 0xFF);
        if (c.tornFirstPage) {
            std::fill_n(flash.begin() + kDataBlockOffset + 16, 200, 0xFF);
        }
        device.WriteFlash(flash);
        device.WriteImage(image);
        const Bytes block = BlockOf(original);
        const saved_copies::Record record = RunRecord(original, image, Stage::erased);
        auto store = CopyFolder();
        ASSERT_TRUE(saved_copies::SaveMarked(*store, block.data(), &record));
        const std::string name = CopyName(block.data());
        const std::string untrusted = std::string(c.untrusted) == "copy"     ? name
                                      : std::string(c.untrusted) == "record" ? name + ".record"
                                      : std::string(c.untrusted) == "mark"   ? name + ".finished"
                                                                             : "";
        if (std::string(c.untrusted) == "mark") {
            std::ofstream(device.Folder() / "copies" / untrusted).flush();
            // Without a trusted record either, as a planted mark comes.
            std::filesystem::remove(device.Folder() / "copies" / (name + ".record"));
        }
        store->untrusted.insert(untrusted);
        FakeWindow second;
        second.answers = {kAnswerYes, kAnswerYes};
        ::ClickInNewStart(second, std::make_unique<StdFirmwareFile>(), std::move(store));
        ASSERT_EQ(second.Questions().size(), 2u);
        EXPECT_EQ(second.QuestionKinds()[0], Question::label);
        EXPECT_NE(second.Questions()[0].find(c.why), std::string::npos) << second.Questions()[0];
        EXPECT_EQ(device.Flash(), finished);
    }
}

// A Mark whose rename may have landed leaves no marked copy, and the run stops before its erase;
// a Save never adopts a copy that a finished run listed for removal.
TEST_F(UpdateRunTest, MarkAndSaveNeverLeaveALiveCopyBehind) {
    const Bytes own = DeviceFlash();
    const Bytes block = BlockOf(own);
    device.WriteImage(Pattern(256, 38));
    auto store = CopyFolder();
    store->failRename = true;
    FakeWindow first;
    ::ClickInNewStart(first, std::make_unique<StdFirmwareFile>(), std::move(store));
    EXPECT_EQ(first.Log(), (Lines{kIdentifying, kUpdating,
                                  "Unable to save a copy of the device data in " + copies->Where() +
                                      ", unable to continue.",
                                  "Nothing was erased.", ""}));
    EXPECT_EQ(device.Flash(), own);
    for (const std::string& name : copies->Names()) {
        EXPECT_FALSE(saved_copies::IsCopyName(name)) << name;
    }

    ASSERT_TRUE(saved_copies::SaveMarked(*copies, block.data()));
    std::ofstream(device.Folder() / "copies" / (CopyName(block.data()) + ".finished")).flush();
    uint32_t checksum = 0;
    bool marked = true;
    ASSERT_TRUE(saved_copies::Save(*copies, block.data(), checksum, marked));
    EXPECT_FALSE(marked);
    EXPECT_EQ(copies->Names(),
              (std::vector<std::string>{saved_copies::FileName(kTestSerial, checksum, false)}));
}
