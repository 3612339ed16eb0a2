// Power cuts at random moments of random runs, one to three in a row, weighted to the erase, the
// serial number's page, the copy's records and the read-back, with the Kavix sometimes swapped
// before the erase, lying about a page or an erase, failing its erase or a read of the read-back,
// cut so that its serial number reads a twin's whose copy is kept, or changing its own data while
// a copy is held (after a run that never erased, or one that completed); with stale copies of other
// Kavix (several of one serial number, serial -1, of earlier versions, of an untrusted writer); and
// sometimes replaced by another Kavix after the cut. Every run stops only for its trial's reason,
// and the last start must end with the flash as one complete run on the device attached leaves it,
// with other devices' copies kept and no copy gone while its device needed it.
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

std::string CopyNameOf(const Bytes& flash) {
    return CopyName(flash.data() + layout::kDataBlock);
}

// Held, and not listed for removal by a trusted mark that it has served.
bool HoldsCopyOf(CutMachine& machine, const Kavix& kavix) {
    const std::string name = CopyNameOf(kavix.flash);
    const std::string served = name + ".finished";
    return machine.files.count(name) > 0 &&
           (machine.files.count(served) == 0 || machine.untrusted.count(served) > 0);
}

// A copy that a recovery of `kavix` can use: of its data, or of an earlier state of it that a
// complete run left as it is now (a copy that a finished run could not remove).
bool HoldsCopyFor(CutMachine& machine, const std::vector<Bytes>& states, const Kavix& kavix,
                  const Bytes& image) {
    const Bytes after = FlashAfterRun(kavix.flash, image);
    return HoldsCopyOf(machine, kavix) ||
           std::any_of(states.begin(), states.end(), [&](const Bytes& state) {
               return HoldsCopyOf(machine, Kavix{state, 0}) && FlashAfterRun(state, image) == after;
           });
}

// Kept, in use or set aside.
bool KeepsCopyOf(CutMachine& machine, const Kavix& kavix) {
    return HoldsCopyOf(machine, kavix) ||
           machine.files.count(CopyNameOf(kavix.flash) + ".aside") > 0;
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
    failedReadBack,   // a read of the read-back fails
    cutInReadBack,    // in a read of the read-back
    cutAtRecord,      // in a disk operation (the copy, its records, the removal) or just after it
};

Event PickEvent(std::mt19937_64& random, bool twin) {
    const unsigned bucket = random() % 48;
    return bucket < 12           ? Event::cutInErase
           : bucket < 18         ? Event::cutAtSerialPage
           : bucket < 21         ? Event::cutBeforeErase
           : bucket < 24         ? Event::swapped
           : bucket < 26         ? Event::lyingPage
           : bucket < 29         ? Event::failedErase
           : bucket < 30         ? Event::lyingErase
           : bucket < 32         ? Event::failedReadBack
           : bucket < 34         ? Event::cutInReadBack
           : bucket < 38         ? Event::cutAtRecord
           : bucket < 41 && twin ? Event::twinCut
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
            // Nothing changed, or a recovery's device that still needs its copy.
            return ends(kEraseNothingChanged) || ends(kEraseError);
        case Event::failedReadBack:
            return ends(kReadBackError);
        default:
            // A cut: the device or the disk stops answering somewhere; any stop is the cut's.
            return true;
    }
}

struct Tally {
    unsigned long finished = 0, recovered = 0, asked = 0, ownChanges = 0, changedWhileHeld = 0,
                  setAside = 0, notErased = 0;
    // Must stay 0.
    unsigned long stopped = 0, othersData = 0, rolledBack = 0, falseSuccess = 0, copiesLost = 0;
};

void Trial(unsigned long seed, Tally& tally) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937_64 random(static_cast<std::mt19937_64::result_type>(seed));
    CutMachine machine(random);
    const Kavix own = MakeKavix(random, int32_t(random()));
    machine.flash = own.flash;
    // Copies of other devices, left by their own unfinished updates: one of another batch, and a
    // twin whose serial number a cut erase can make of ours.
    std::vector<Kavix> others;
    if (random() % 4 == 0) {
        others.push_back(MakeKavix(random, own.serial ^ 0x5A5A));
    }
    const bool twin = random() % 4 == 0 && uint32_t(own.serial) != 0xFFFFFFFFu;
    int32_t twinSerial = 0;
    if (twin) {
        others.push_back(TwinOf(own, random));
        twinSerial = others.back().serial;
    }
    // Stale copies: several of one serial number, and of a Kavix whose serial number was blank.
    if (!others.empty() && random() % 6 == 0) {
        Kavix sibling = others[0];
        sibling.flash[layout::kDataBlock + 5000] ^= 0x11;
        others.push_back(sibling);
    }
    if (random() % 8 == 0) {
        others.push_back(MakeKavix(random, -1));
    }
    Bytes image(1 + random() % layout::kImageLimit);
    FillRandom(random, image);
    for (const Kavix& other : others) {
        // As its own update left it, or an earlier version (no record); some by another account.
        const saved_copies::Record record =
            RunRecord(other.flash, image, saved_copies::Record::Stage(1 + random() % 3));
        const unsigned char* block = other.flash.data() + layout::kDataBlock;
        ASSERT_TRUE(saved_copies::SaveMarked(*machine.Disk(), block,
                                             random() % 2 == 0 ? &record : nullptr));
        if (random() % 6 == 0) {
            machine.untrusted.insert(CopyNameOf(other.flash));
        }
    }
    const long runOperations =
        2 + 8 + 1 + 16 + 2 + 1 + 1 + layout::ImagePages(image.size()) + 1556 + 1 + 16 + 5;
    // What the device holds as its own: what it came with, or what a complete run left.
    Kavix current = own;
    std::vector<Bytes> states;  // its earlier ones
    const int events = random() % 3 == 0 ? 2 + int(random() % 2) : 1;
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
                machine.cutEraseLeavesSerial = twinSerial;
                break;
            case Event::cutAtSerialPage:
                machine.CutAtPage(layout::kFirstDataPage);
                break;
            case Event::cutBeforeErase:
                // Open, eight reads, the save, sixteen reads again, the record, the mark.
                machine.CutAt(long(random() % 29));
                break;
            case Event::failedErase:
                machine.eraseFails = true;
                break;
            case Event::lyingErase:
                machine.eraseSkipsSector = int32_t(random() % 16);
                break;
            case Event::failedReadBack:
                machine.readBackFailsAt = 1 + int(random() % 16);
                break;
            case Event::cutInReadBack:
                machine.readBackCutAt = 1 + int(random() % 16);
                break;
            case Event::cutAtRecord:
                machine.CutAtDiskOperation(1 + int(random() % 10), random() % 2 == 0);
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
        tally.notErased += Has(log, kEraseNothingChanged[1]);
        // Never a success that the device does not hold.
        if (Has(log, kFinishedUpdating)) {
            ASSERT_EQ(FirstDifference(machine.flash, FlashAfterRun(current.flash, image)), "");
            states.push_back(current.flash);
            current.flash = machine.flash;
        } else {
            ASSERT_TRUE(StoppedAsExpected(log, kind)) << "stopped for no reason of the trial's";
        }
    }

    // A Kavix that was never erased, or is complete (though its run may have said otherwise),
    // goes on with its life and may change its own data: erase a sector of it, or program bits.
    // A copy still held must never roll it back.
    const Kavix held = current;
    const bool complete = machine.flash == FlashAfterRun(current.flash, image);
    const bool whole = machine.flash == current.flash || complete;
    if (complete) {
        states.push_back(current.flash);
        current.flash = machine.flash;
    }
    const Bytes rollback = FlashAfterRun(current.flash, image);
    const bool copyHeld = HoldsCopyFor(machine, states, held, image);
    const bool changes = whole && random() % (copyHeld ? 2 : 3) == 0;
    if (changes) {
        const std::size_t sector = layout::kDataBlock + random() % 8 * layout::kSector;
        if (random() % 2 == 0) {
            std::fill_n(current.flash.begin() + long(sector), layout::kSector, 0xFF);
        } else {
            const std::size_t at = sector + random() % layout::kSector / 256 * 256;
            for (std::size_t i = at; i < std::min(at + 256 * (1 + random() % 64), layout::kMiB);
                 ++i) {
                current.flash[i] &= static_cast<unsigned char>(random());
            }
        }
        machine.flash = current.flash;
        ++tally.ownChanges;
        tally.changedWhileHeld += copyHeld;
    }
    if (!whole && copyHeld) {
        // Copies of an earlier version carry no record; another account's are always asked about
        // too; a mark that an untrusted writer left hides none.
        const std::string name = CopyNameOf(held.flash);
        const unsigned doubt = random() % 8;
        if (doubt == 0) {
            machine.files.erase(name + ".record");
        } else if (doubt == 1) {
            machine.untrusted.insert(name);
        } else if (doubt == 2) {
            const std::string mark = name + ".finished";
            machine.files[mark] = Bytes();
            machine.untrusted.insert(mark);
        }
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
    // A device that is not whole needs its copy.
    const bool copyKept = HoldsCopyFor(machine, states, held, image);
    if (ownAttached && !whole && !copyKept) {
        ++tally.copiesLost;
        FAIL() << "the copy is gone while its Kavix needs it";
    }
    const Bytes before = machine.flash;
    machine.PowerOn();
    const Lines log = Start(machine, image, held, ownAttached, &tally.asked);
    const Bytes expected = FlashAfterRun(attached.flash, image);
    tally.setAside += std::count_if(log.begin(), log.end(), [](const std::string& line) {
        return line.find("is not written back") != std::string::npos;
    });
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
    // The copy goes only with a complete run on its own device, or is set aside there; other
    // devices' copies stay. A device that changed its data since may show its copy to be foreign:
    // it stays then, named in the log.
    if (ownAttached && !changes) {
        ASSERT_FALSE(HoldsCopyFor(machine, states, held, image));
    }
    if (!ownAttached && copyKept) {
        ASSERT_TRUE(KeepsCopyOf(machine, held) ||
                    std::any_of(states.begin(), states.end(), [&](const Bytes& state) {
                        return KeepsCopyOf(machine, Kavix{state, 0});
                    }));
    }
    for (const Kavix& other : others) {
        ASSERT_TRUE(KeepsCopyOf(machine, other)) << "another Kavix's copy is gone";
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
        "label questions, %lu Kavix that changed their own data, %lu of them while a copy was "
        "held, %lu copies set aside, %lu failed erases that changed nothing), %lu stopped, %lu "
        "holding another's data, %lu rolled back, %lu copies lost, %lu false successes\n",
        trials, seed, tally.finished, tally.recovered, tally.asked, tally.ownChanges,
        tally.changedWhileHeld, tally.setAside, tally.notErased, tally.stopped, tally.othersData,
        tally.rolledBack, tally.copiesLost, tally.falseSuccess);
}
