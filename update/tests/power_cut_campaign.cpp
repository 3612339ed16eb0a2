// Power cuts at random moments of random runs, one or two in a row, weighted to the erase and the
// serial number's page, with the Kavix sometimes swapped before the erase, lying about a page or an
// erase, failing its erase, cut so that its serial number reads a twin's whose copy is kept, or
// changing its own data after a run that never erased; and sometimes replaced by another Kavix
// after the cut. Every run stops only for its trial's reason, and the last start must end with the
// flash as one complete run on the device attached leaves it, with other devices' copies kept.
// ORV_CAMPAIGN_SEED and ORV_CAMPAIGN_TRIALS reproduce a trial: the seed of each failure is printed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "cut_machine.h"
#include "saved_copies.h"
#include "update_fixture.h"

namespace {

#if defined(__SANITIZE_THREAD__)
constexpr unsigned long kDefaultTrials = 40;  // ten times slower: the threads are what is tested
#else
constexpr unsigned long kDefaultTrials = 500;
#endif

unsigned long Setting(const char* name, unsigned long otherwise) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != 0 ? std::strtoul(value, nullptr, 10) : otherwise;
}

struct Kavix {
    Bytes flash;
    int32_t serial = 0;
};

void FillRandom(std::mt19937_64& random, Bytes& bytes) {
    for (std::size_t at = 0; at < bytes.size(); at += sizeof(uint64_t)) {
        const uint64_t word = random();
        std::memcpy(bytes.data() + at, &word, std::min(sizeof word, bytes.size() - at));
    }
}

// The lower MiB, which is all that the updater touches.
Kavix MakeKavix(std::mt19937_64& random, int32_t serial) {
    Kavix kavix{Bytes(layout::kMiB), serial};
    FillRandom(random, kavix.flash);
    // Some devices keep little in their block, whose erased bytes a cut cannot tell from its own.
    if (random() % 5 == 0) {
        for (std::size_t at = layout::kDataBlock; at < layout::kMiB; ++at) {
            kavix.flash[at] = kavix.flash[at] % 8 == 0 ? kavix.flash[at] : 0xFF;
        }
    }
    const uint16_t versions[] = {0, 3, 4, 5, 7, 0xFFFF};
    SetSerialNumber(kavix.flash.data() + layout::kDataBlock, serial);
    SetVersion(kavix.flash.data() + layout::kDataBlock, versions[random() % 6]);
    return kavix;
}

// Another Kavix of the same batch: the same data but a serial number whose bits hold this one's,
// and none of `taken` (no two Kavix share a serial number).
Kavix TwinOf(const Kavix& kavix, std::mt19937_64& random, const std::vector<Kavix>& taken = {}) {
    Kavix twin = kavix;
    const auto used = [&](uint32_t serial) {
        return serial == uint32_t(kavix.serial) ||
               std::any_of(taken.begin(), taken.end(),
                           [&](const Kavix& other) { return uint32_t(other.serial) == serial; });
    };
    uint32_t serial = uint32_t(kavix.serial);
    for (int tries = 0; used(serial) && serial != 0xFFFFFFFFu && tries < 64; ++tries) {
        serial = uint32_t(kavix.serial) | 1u << (random() % 32);
    }
    twin.serial = int32_t(serial);
    SetSerialNumber(twin.flash.data() + layout::kDataBlock, twin.serial);
    return twin;
}

bool Has(const Lines& log, const std::string& line) {
    return std::find(log.begin(), log.end(), line) != log.end();
}

// One start of the program and one click on Update, the user answering as the label on the device
// attached tells: the copy of `own` is written back only onto `own`.
Lines Start(CutMachine& machine, Bytes& image, const Kavix& own, bool ownAttached,
            unsigned long* labelQuestions = nullptr) {
    FakeWindow window;
    unsigned long ignored = 0;
    unsigned long& asked = labelQuestions != nullptr ? *labelQuestions : ignored;
    const std::string ownCopy =
        "An update of the Kavix with serial number " + std::to_string(own.serial) + " did";
    window.onQuestion = [&](const std::string& question) {
        if (question.rfind("An update of the Kavix", 0) == 0) {
            ++asked;
            window.answers.push_front(ownAttached && question.rfind(ownCopy, 0) == 0 ? kAnswerYes
                                                                                     : kAnswerNo);
        }
    };
    // The image file, in memory.
    std::FILE* file = fmemopen(image.data(), image.size(), "rb");
    ClickInNewStart(window, std::make_unique<StdFirmwareFile>(file), machine.Disk());
    return window.Log();
}

bool HoldsCopyOf(CutMachine& machine, const Kavix& kavix) {
    const unsigned char* block = kavix.flash.data() + layout::kDataBlock;
    const std::string name = saved_copies::FileName(kavix.serial, saved_copies::Checksum(block));
    return machine.files.count(name) > 0;
}

// How a trial's runs were cut or failed. Cuts fall where they do most harm as often as anywhere
// else: at least a quarter in the erase and an eighth on the first page of the data block, which
// holds the serial number.
enum class Event {
    cutAnywhere,      // at a device call or disk write picked uniformly over the run
    cutBeforeErase,   // in the preparation, the check or the mark: no erase follows
    cutInErase,       // sector by sector or all at once
    cutAtSerialPage,  // on the first page written back
    twinCut,          // an erase cut leaves the serial number reading a twin's, whose copy is kept
    swapped,          // another Kavix attached between the reads and the erase
    lyingPage,        // a page acknowledged but not programmed
    failedErase,      // the erase fails and changes nothing
    lyingErase,       // the erase says it erased everything but leaves a sector
};

Event PickEvent(std::mt19937_64& random, bool twin) {
    const unsigned bucket = random() % 40;
    return bucket < 10           ? Event::cutInErase
           : bucket < 15         ? Event::cutAtSerialPage
           : bucket < 18         ? Event::cutBeforeErase
           : bucket < 21         ? Event::swapped
           : bucket < 24         ? Event::lyingPage
           : bucket < 26         ? Event::failedErase
           : bucket < 28         ? Event::lyingErase
           : bucket < 31 && twin ? Event::twinCut
                                 : Event::cutAnywhere;
}

// The lines that end a run stopped for a reason a trial expects, and none else.
bool StoppedAsExpected(const Lines& log, Event event) {
    const auto ends = [&](const Lines& lines) {
        return std::search(log.begin(), log.end(), lines.begin(), lines.end()) != log.end();
    };
    switch (event) {
        case Event::swapped:
            return ends(kOtherKavix);
        case Event::lyingPage:
        case Event::lyingErase:
            return ends(kWriteError);
        case Event::failedErase:
            return ends(kEraseError);
        default:
            // A cut: the device or the disk stops answering somewhere; any stop is the cut's.
            return true;
    }
}

struct Tally {
    unsigned long finished = 0, recovered = 0, asked = 0, ownChanges = 0;
    // Must stay 0.
    unsigned long stopped = 0, othersData = 0, rolledBack = 0, falseSuccess = 0;
};

void Trial(unsigned long seed, Tally& tally) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937_64 random(static_cast<std::mt19937_64::result_type>(seed));
    CutMachine machine(random);
    const Kavix own = MakeKavix(random, int32_t(random()));
    Bytes image(1 + random() % layout::kImageLimit);
    FillRandom(random, image);
    machine.flash = own.flash;
    // Copies of other devices, left by their own unfinished updates: one of another batch, and a
    // twin whose serial number a cut erase can make of ours.
    std::vector<Kavix> others;
    if (random() % 4 == 0) {
        others.push_back(MakeKavix(random, own.serial ^ 0x5A5A));
    }
    const bool twin = random() % 4 == 0 && uint32_t(own.serial) != 0xFFFFFFFFu;
    if (twin) {
        others.push_back(TwinOf(own, random));
    }
    for (const Kavix& other : others) {
        ASSERT_TRUE(
            saved_copies::SaveMarked(*machine.Disk(), other.flash.data() + layout::kDataBlock));
    }
    const long runOperations =
        2 + 8 + 1 + 8 + 1 + 1 + layout::ImagePages(image.size()) + 1556 + 16 + 3;
    // What the device holds as its own: what it came with, or what a complete run left.
    Kavix current = own;
    const int events = random() % 3 == 0 ? 2 : 1;
    for (int event = 0; event < events; ++event) {
        machine.PowerOn();
        const Event kind = PickEvent(random, twin);
        Kavix swapped;
        switch (kind) {
            case Event::swapped:
                swapped = MakeKavix(random, own.serial ^ 1);
                // Sometimes the two agree in the first data sector (as two erased by cuts do): only
                // the rest of the block tells them apart.
                if (random() % 2 == 0) {
                    std::copy_n(machine.flash.begin() + layout::kDataBlock, layout::kSector,
                                swapped.flash.begin() + layout::kDataBlock);
                }
                machine.swapTo = swapped.flash;
                machine.swapBeforeRead = 9 + int(random() % 8);
                break;
            case Event::lyingPage:
                machine.lyingPage =
                    int32_t(random() % 2 ? random() % layout::ImagePages(image.size())
                                         : layout::kFirstDataPage + random() % 1556);
                break;
            case Event::cutInErase:
                machine.CutInErase();
                break;
            case Event::twinCut:
                machine.CutInErase();
                machine.cutEraseLeavesSerial = others.back().serial;
                break;
            case Event::cutAtSerialPage:
                machine.CutAtPage(layout::kFirstDataPage);
                break;
            case Event::cutBeforeErase:
                // Open, eight reads, the save, eight reads again, the mark.
                machine.CutAt(long(random() % 19));
                break;
            case Event::failedErase:
                machine.eraseFails = true;
                break;
            case Event::lyingErase:
                machine.eraseSkipsSector = int32_t(random() % 16);
                break;
            case Event::cutAnywhere:
                machine.CutAt(long(random() % runOperations));
                break;
        }
        const Lines log = Start(machine, image, current, true);
        if (kind == Event::swapped) {
            ASSERT_TRUE(Has(log, kOtherKavix[0]) || !Has(log, kFinishedUpdating))
                << "the Kavix swapped in was updated";
        }
        if (kind == Event::swapped && Has(log, kOtherKavix[0])) {
            ASSERT_EQ(machine.flash, swapped.flash) << "the other Kavix was touched";
            machine.flash.swap(machine.swapTo);
        }
        // Never a success that the device does not hold.
        if (Has(log, kFinishedUpdating)) {
            ASSERT_EQ(FirstDifference(machine.flash, FlashAfterRun(current.flash, image)), "");
            current.flash = machine.flash;
        } else {
            ASSERT_TRUE(StoppedAsExpected(log, kind)) << "stopped for no reason of the trial's";
        }
    }

    // A Kavix whose update stopped before its erase goes on with its life, and may change its
    // own data, turning bits to 1 (it erases a sector of its own): its old copy must never roll it
    // back.
    const Bytes rollback = FlashAfterRun(current.flash, image);
    if (random() % 3 == 0 && machine.flash == current.flash && !HoldsCopyOf(machine, current)) {
        const std::size_t sector = layout::kDataBlock + random() % 8 * layout::kSector;
        std::fill_n(current.flash.begin() + long(sector), layout::kSector, 0xFF);
        machine.flash = current.flash;
        ++tally.ownChanges;
    }

    // Sometimes another Kavix is attached for the next start.
    const unsigned attach = random() % 10;
    const Kavix attached = attach == 0   ? MakeKavix(random, own.serial ^ 2)
                           : attach == 1 ? TwinOf(current, random, others)
                                         : current;
    const bool ownAttached = attach > 1;
    if (!ownAttached) {
        machine.flash = attached.flash;
    }
    const bool copyKept = HoldsCopyOf(machine, current);
    const Bytes before = machine.flash;
    machine.PowerOn();
    const Lines log = Start(machine, image, current, ownAttached, &tally.asked);
    const Bytes expected = FlashAfterRun(attached.flash, image);
    if (Has(log, kFinishedUpdating)) {
        ++tally.finished;
        tally.recovered += Has(log, kRecovered);
        if (machine.flash != expected) {
            ++tally.falseSuccess;
            tally.rolledBack += machine.flash == rollback && rollback != expected;
            for (const Kavix& other : others) {
                tally.othersData += machine.flash == FlashAfterRun(other.flash, image);
            }
        }
        ASSERT_EQ(FirstDifference(machine.flash, expected), "");
    } else {
        // Nothing in this start cuts or fails: every stop is a fault.
        ++tally.stopped;
        ASSERT_EQ(machine.flash, before) << "stopped after the erase";
        FAIL() << "the last start stopped: " << (log.size() > 1 ? log[1] : "");
    }
    // The copy goes only with a complete run on its own device; other devices' copies stay.
    ASSERT_EQ(HoldsCopyOf(machine, current), copyKept && !ownAttached);
    for (const Kavix& other : others) {
        ASSERT_TRUE(HoldsCopyOf(machine, other)) << "another Kavix's copy is gone";
    }
}

}  // namespace

TEST(PowerCutCampaign, EveryTrialEndsWithACompleteRunWithTheDevicesOwnData) {
    const unsigned long seed = Setting("ORV_CAMPAIGN_SEED", std::random_device()());
    const unsigned long trials = Setting("ORV_CAMPAIGN_TRIALS", kDefaultTrials);
    Tally tally;
    for (unsigned long trial = 0; trial < trials && !HasFatalFailure(); ++trial) {
        Trial(seed + trial, tally);
    }
    std::printf(
        "power-cut campaign: %lu trials from seed %lu: %lu complete runs (%lu from the copy, %lu "
        "label questions, %lu Kavix that changed their own data after a run that never erased), "
        "%lu stopped, %lu holding another's data, %lu rolled back, %lu false successes\n",
        trials, seed, tally.finished, tally.recovered, tally.asked, tally.ownChanges, tally.stopped,
        tally.othersData, tally.rolledBack, tally.falseSuccess);
}
