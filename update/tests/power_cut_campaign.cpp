// Power cuts at random moments of random runs, one or two in a row, with the Kavix sometimes
// swapped before the erase, sometimes lying about a page, and sometimes replaced by another Kavix
// after the cut. Every trial must end with the flash as one complete run on the device attached
// leaves it, or stopped before the erase with the copy kept. ORV_CAMPAIGN_SEED and
// ORV_CAMPAIGN_TRIALS reproduce a trial: the seed of each failure is printed.
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

// Another Kavix of the same batch: the same data but a serial number whose bits hold this one's.
Kavix TwinOf(const Kavix& kavix, std::mt19937_64& random) {
    Kavix twin = kavix;
    uint32_t serial = uint32_t(kavix.serial);
    while (serial == uint32_t(kavix.serial) && serial != 0xFFFFFFFFu) {
        serial |= 1u << (random() % 32);
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
Lines Start(CutMachine& machine, Bytes& image, const Kavix& own, bool ownAttached) {
    FakeWindow window;
    const std::string ownCopy =
        "An update of the Kavix with serial number " + std::to_string(own.serial) + " did";
    window.onQuestion = [&](const std::string& question) {
        if (question.rfind("An update of the Kavix", 0) == 0) {
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
    return machine.files.count(name) + machine.files.count(name + ".tmp") > 0;
}

struct Tally {
    unsigned long finished = 0, stopped = 0, recovered = 0;
};

void Trial(unsigned long seed, Tally& tally) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937_64 random(static_cast<std::mt19937_64::result_type>(seed));
    CutMachine machine(random);
    const Kavix own = MakeKavix(random, int32_t(random()));
    Bytes image(1 + random() % layout::kImageLimit);
    FillRandom(random, image);
    machine.flash = own.flash;
    // Copies of other devices, left by their own unfinished updates.
    if (random() % 4 == 0) {
        const Kavix other = MakeKavix(random, own.serial ^ 0x5A5A);
        ASSERT_TRUE(
            saved_copies::SaveMarked(*machine.Disk(), other.flash.data() + layout::kDataBlock));
    }
    const long runOperations = 2 + 8 + 1 + 1 + layout::ImagePages(image.size()) + 1556 + 15 + 3;
    // What the device holds as its own: what it came with, or what a complete run left.
    Kavix current = own;
    const int events = random() % 3 == 0 ? 2 : 1;
    for (int event = 0; event < events; ++event) {
        machine.PowerOn();
        const unsigned kind = random() % 10;
        Kavix swapped;
        if (kind == 0) {
            // Swapped between the eight reads and the erase.
            swapped = MakeKavix(random, own.serial ^ 1);
            machine.swapTo = swapped.flash;
            machine.swapBeforeRead = 9;
        } else if (kind == 1) {
            machine.lyingPage = int32_t(random() % 2 ? random() % layout::ImagePages(image.size())
                                                     : layout::kFirstDataPage + random() % 1556);
        } else {
            machine.CutAt(long(random() % runOperations));
        }
        const Lines log = Start(machine, image, current, true);
        if (kind == 0 && Has(log, kOtherKavix[0])) {
            ASSERT_EQ(machine.flash, swapped.flash) << "the other Kavix was touched";
            machine.flash.swap(machine.swapTo);
        }
        // Never a success that the device does not hold.
        if (Has(log, kFinishedUpdating)) {
            ASSERT_EQ(FirstDifference(machine.flash, FlashAfterRun(current.flash, image)), "");
            current.flash = machine.flash;
        }
    }

    // Sometimes another Kavix is attached for the next start.
    const unsigned attach = random() % 10;
    const Kavix attached = attach == 0   ? MakeKavix(random, own.serial ^ 2)
                           : attach == 1 ? TwinOf(current, random)
                                         : current;
    const bool ownAttached = attach > 1;
    if (!ownAttached) {
        machine.flash = attached.flash;
    }
    const bool copyKept = HoldsCopyOf(machine, current);
    const Bytes before = machine.flash;
    machine.PowerOn();
    const Lines log = Start(machine, image, current, ownAttached);
    const bool finished = Has(log, kFinishedUpdating);
    if (finished) {
        ++tally.finished;
        tally.recovered += Has(log, kRecovered);
        ASSERT_EQ(FirstDifference(machine.flash, FlashAfterRun(attached.flash, image)), "");
    } else {
        ++tally.stopped;
        ASSERT_EQ(machine.flash, before) << "stopped after the erase";
    }
    // The copy goes only with a complete run on its own device.
    ASSERT_EQ(HoldsCopyOf(machine, current), copyKept && !(finished && ownAttached));
}

}  // namespace

TEST(PowerCutCampaign, EveryTrialEndsWithACompleteRunOrStopsBeforeTheErase) {
    const unsigned long seed = Setting("ORV_CAMPAIGN_SEED", std::random_device()());
    const unsigned long trials = Setting("ORV_CAMPAIGN_TRIALS", kDefaultTrials);
    Tally tally;
    for (unsigned long trial = 0; trial < trials && !HasFatalFailure(); ++trial) {
        Trial(seed + trial, tally);
    }
    std::printf(
        "power-cut campaign: %lu trials from seed %lu: %lu complete runs (%lu from the copy), "
        "%lu stopped before the erase\n",
        trials, seed, tally.finished, tally.recovered, tally.stopped);
}
