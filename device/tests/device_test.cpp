// Opening, handles, and what the ORV_SIM_ variables make the device do.
#include <algorithm>
#include <bitset>
#include <chrono>
#include <functional>
#include <type_traits>
#include <vector>

#include "device_fixture.h"
#include "kavix_flash.h"

using Device = DeviceTest;

#if defined(_WIN32) && defined(__i386__)
// On 32-bit Windows the convention is part of the type: a library built otherwise would unbalance
// the stack at every call.
static_assert(std::is_same_v<decltype(&orvOpenDevice), orvStatus(__cdecl*)(int32_t*)>);
static_assert(std::is_same_v<decltype(&orvWriteFlash),
                             orvStatus(__cdecl*)(int32_t, int32_t, unsigned char*)>);
static_assert(!std::is_same_v<decltype(&orvClearFlash), orvStatus(__stdcall*)(int32_t)>);
#endif

TEST(NeverOpened, EveryCallFails) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A fresh process of its own, in which nothing has opened the device.
    EXPECT_EXIT(
        {
            unsigned char page[kPage] = {};
            bool refused = orvClearFlash(0) == kNotOpen && orvWriteFlash(0, 0, page) == kNotOpen;
            std::exit(refused ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(Device, OnlyTheHandleOfTheLatestOpenWorks) {
    int32_t first = Open();
    int32_t latest = Open();
    ASSERT_NE(first, latest);
    EXPECT_NE(latest, 0);
    for (int32_t wrong : {first, 0, latest + 1}) {
        ExpectEveryCallFails(wrong, kBadHandle);
    }
}

TEST_F(Device, FailedOpenStoresNoHandleCreatesNoImageAndClosesTheDevice) {
    int32_t earlier = Open();
    fs::remove(flashPath);
    SetVariable("ORV_SIM_OPEN_FAIL", "1");
    EXPECT_EQ(RefusedOpen(), kInjectedFault);
    EXPECT_FALSE(fs::exists(flashPath));
    EXPECT_EQ(orvClearFlash(earlier), kNotOpen);
}

TEST_F(Device, TypeIsReadAgainAtEachOpen) {
    const struct {
        const char* type;
        const char* storesNothing;
        int32_t before, after;
    } opens[] = {{"", "", 0, 1}, {"-7", "", 0, -7}, {"-7", "1", 42, 42}, {"", "", 42, 1}};
    for (const auto& open : opens) {
        SetVariable("ORV_SIM_TYPE", open.type);
        SetVariable("ORV_SIM_TYPE_STORES_NOTHING", open.storesNothing);
        int32_t type = open.before;
        EXPECT_EQ(orvGetDeviceType(Open(), &type), kOk);
        EXPECT_EQ(type, open.after) << open.type << "," << open.storesNothing;
    }
}

TEST_F(Device, BadValueFailsTheOpenAndRangeEndsDoNot) {
    const struct {
        const char* variable;
        std::vector<const char*> bad, good;
    } settings[] = {
        {"ORV_SIM_TYPE", {"1x", " 1", "-", "2147483648"}, {"-2147483648"}},
        {"ORV_SIM_SERIAL", {"0x12", "99999999999999999999"}, {}},
        {"ORV_SIM_OPEN_FAIL", {"2"}, {}},
        {"ORV_SIM_ERASE_FAIL", {"yes"}, {}},
        {"ORV_SIM_READ_FAIL_SECTOR", {"32"}, {"31"}},
        {"ORV_SIM_WRITE_FAIL_PAGE", {"-1"}, {"8191"}},
        {"ORV_SIM_UNPLUG_AFTER", {"-1", "+1"}, {}},
        {"ORV_SIM_EXIT_AT_PAGE", {"8192"}, {}},
        {"ORV_SIM_TEAR_AT_PAGE", {"8192"}, {}},
        {"ORV_SIM_CUT_ERASE_AT_SECTOR", {"16"}, {"15"}},
        {"ORV_SIM_CUT_ERASE_ALL", {"2"}, {}},
        {"ORV_SIM_CUT_SEED", {}, {"-2147483648"}},
        {"ORV_SIM_READ_DELAY_MS", {"-5"}, {}},
        {"ORV_SIM_ERASE_DELAY_MS", {}, {"00"}},
    };
    for (const auto& setting : settings) {
        for (const bool valid : {false, true}) {
            for (const char* value : valid ? setting.good : setting.bad) {
                SetVariable(setting.variable, value);
                int32_t handle = -1;
                EXPECT_EQ(orvOpenDevice(&handle), valid ? kOk : kBadConfig)
                    << setting.variable << "=\"" << value << '"';
                EXPECT_EQ(handle != -1, valid);
                EXPECT_EQ(fs::exists(flashPath), valid);
                fs::remove(flashPath);
            }
        }
        SetVariable(setting.variable, "");
    }
    // One erase cannot be cut both ways.
    SetVariable("ORV_SIM_CUT_ERASE_AT_SECTOR", "3");
    SetVariable("ORV_SIM_CUT_ERASE_ALL", "1");
    EXPECT_EQ(RefusedOpen(), kBadConfig);
}

TEST_F(Device, InjectedFaultsHitTheirCallOnlyAndChangeNothing) {
    SetVariable("ORV_SIM_READ_FAIL_SECTOR", "12");
    SetVariable("ORV_SIM_ERASE_FAIL", "1");
    SetVariable("ORV_SIM_WRITE_FAIL_PAGE", "2100");
    int32_t handle = Open();
    Bytes before = Flash();
    Bytes buffer(kSector, 0);
    EXPECT_EQ(orvReadFlash(handle, 12, buffer.data()), kInjectedFault);
    EXPECT_EQ(buffer, Bytes(kSector, 0));
    EXPECT_EQ(orvClearFlash(handle), kInjectedFault);
    EXPECT_EQ(orvWriteFlash(handle, 2100, buffer.data()), kInjectedFault);
    EXPECT_EQ(Flash(), before);

    EXPECT_EQ(orvReadFlash(handle, 13, buffer.data()), kOk);
    EXPECT_EQ(buffer, Slice(before, 13 * kSector, kSector));
    Bytes zeros(kPage, 0);
    EXPECT_EQ(orvWriteFlash(handle, 2101, zeros.data()), kOk);
    EXPECT_EQ(Slice(Flash(), 2101 * kPage, kPage), zeros);
}

TEST_F(Device, UnpluggedAfterTheGivenNumberOfCallsCountingTheOpen) {
    SetVariable("ORV_SIM_UNPLUG_AFTER", "4");
    int32_t handle = Open();
    Bytes buffer(kSector, 0);
    int32_t type = -1;
    EXPECT_EQ(orvGetDeviceType(handle + 1, &type), kBadHandle);  // failed calls count too
    EXPECT_EQ(type, -1);
    EXPECT_EQ(orvReadFlash(handle, 32, buffer.data()), kBadIndex);
    EXPECT_EQ(orvWriteFlash(handle, 0, buffer.data()), kOk);
    ExpectEveryCallFails(handle, kUnplugged);

    // Plugged in again the count starts over; with no calls left even the open fails.
    EXPECT_EQ(orvClearFlash(Open()), kOk);
    SetVariable("ORV_SIM_UNPLUG_AFTER", "0");
    EXPECT_EQ(RefusedOpen(), kUnplugged);
}

#ifndef _WIN32
namespace {

// A power loss in the middle of a call, and how far the call got: [0, doneEnd) as the whole call
// leaves it, [doneEnd, cutEnd) partly done in every sector erased or page written, the rest as
// before.
struct PowerLoss {
    const char* variable;
    const char* value;
    bool erase;  // the call cut: orvClearFlash, else writes of zeros to pages 4 and 5
    std::size_t doneEnd, cutEnd;
};

void PrintTo(const PowerLoss& loss, std::ostream* out) {
    *out << loss.variable << '=' << loss.value;
}

void Call(bool erase) {
    int32_t handle = 0;
    ASSERT_EQ(orvOpenDevice(&handle), kOk);
    if (erase) {
        ASSERT_EQ(orvClearFlash(handle), kOk);
        return;
    }
    Bytes zeros(kPage, 0);
    ASSERT_EQ(orvWriteFlash(handle, 4, zeros.data()), kOk);
    ASSERT_EQ(orvWriteFlash(handle, 5, zeros.data()), kOk);
}

std::size_t Bits(const Bytes& a, const Bytes& b, std::size_t offset, std::size_t length) {
    std::size_t count = 0;
    for (std::size_t i = offset; i < offset + length; ++i) {
        count += std::bitset<8>(a[i] ^ b[i]).count();
    }
    return count;
}

}  // namespace

class DevicePowerLoss : public DeviceTest, public ::testing::WithParamInterface<PowerLoss> {};

// The process ends in the middle of its call, as by a power loss, and the flash holds as much of
// the call as NOR flash would: a page or sector partly done has some of its bits turned and the
// others not, never a bit the call would not turn. Only the first process that opens the device
// with the variable set ends so.
TEST_P(DevicePowerLoss, EndsOneProcessWithTheFlashAsFarAsTheCallGot) {
    const PowerLoss& loss = GetParam();
    const std::size_t unit = loss.erase ? kSector : kPage;
    const std::string claim = flashPath + ".exit-claimed";
    Open();
    const Bytes before = Flash();
    Bytes whole = before;
    if (loss.erase) {
        std::fill(whole.begin(), whole.begin() + kMiB, 0xFF);
    } else {
        std::fill(whole.begin() + 4 * kPage, whole.begin() + 6 * kPage, 0);
    }
    SetVariable(loss.variable, loss.value);

    // Twice with the same seed, then with another.
    Bytes cut[3];
    for (int run = 0; run < 3; ++run) {
        SetVariable("ORV_SIM_CUT_SEED", run < 2 ? "" : "1");
        kavix.WriteFlash(before);
        fs::remove(claim);
        EXPECT_EXIT(Call(loss.erase), ::testing::ExitedWithCode(int(kCutExitCode)), "");
        cut[run] = Flash();
    }
    EXPECT_EQ(cut[0], cut[1]) << "a cut repeats bit for bit";
    EXPECT_EQ(cut[0] != cut[2], loss.cutEnd > loss.doneEnd) << "the seed picks the bits";

    EXPECT_EQ(FirstDifference(Slice(cut[0], 0, loss.doneEnd), Slice(whole, 0, loss.doneEnd)), "");
    for (std::size_t at = loss.doneEnd; at < loss.cutEnd; at += unit) {
        const std::size_t toTurn = Bits(before, whole, at, unit);
        const std::size_t turned = Bits(cut[0], before, at, unit);
        EXPECT_EQ(Bits(cut[0], whole, at, unit) + turned, toTurn)
            << "a bit the call does not turn was turned, at " << at;
        EXPECT_GT(turned, toTurn / 4) << at;
        EXPECT_LT(turned, toTurn * 3 / 4) << at;
    }
    EXPECT_EQ(FirstDifference(Slice(cut[0], loss.cutEnd, kFlash - loss.cutEnd),
                              Slice(before, loss.cutEnd, kFlash - loss.cutEnd)),
              "");

    // The power loss is claimed: the next process meets a healthy device.
    Call(loss.erase);
    EXPECT_EQ(FirstDifference(Flash(), whole), "");
}

INSTANTIATE_TEST_SUITE_P(
    , DevicePowerLoss,
    ::testing::Values(PowerLoss{"ORV_SIM_EXIT_AT_PAGE", "5", false, 5 * kPage, 5 * kPage},
                      PowerLoss{"ORV_SIM_TEAR_AT_PAGE", "5", false, 5 * kPage, 6 * kPage},
                      PowerLoss{"ORV_SIM_CUT_ERASE_AT_SECTOR", "0", true, 0, kSector},
                      PowerLoss{"ORV_SIM_CUT_ERASE_AT_SECTOR", "9", true, 9 * kSector,
                                10 * kSector},
                      PowerLoss{"ORV_SIM_CUT_ERASE_ALL", "1", true, 0, kMiB}),
    [](const ::testing::TestParamInfo<PowerLoss>& info) {
        return std::string(info.param.variable + 8) + "_" + info.param.value;
    });
#endif

TEST_F(Device, EachKindOfCallTakesItsOwnDelay) {
    SetVariable("ORV_SIM_READ_DELAY_MS", "50");
    SetVariable("ORV_SIM_WRITE_DELAY_MS", "100");
    SetVariable("ORV_SIM_ERASE_DELAY_MS", "150");
    int32_t handle = Open();
    Bytes buffer(kSector, 0xFF);
    std::function<orvStatus()> calls[] = {
        [&] { return orvReadFlash(handle, 0, buffer.data()); },
        [&] { return orvWriteFlash(handle, 0, buffer.data()); },
        [&] { return orvClearFlash(handle); },
    };
    // A call may be short by what the calls before it overran and no call has made up yet, never
    // by more.
    using Duration = std::chrono::steady_clock::duration;
    Duration owed{};
    for (int i = 0; i < 3; ++i) {
        const auto delay = std::chrono::milliseconds(50 * (i + 1));
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(calls[i](), kOk);
        auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, delay - owed) << "call " << i;
        owed = std::max(owed + took - delay, Duration::zero());
    }
}

// A run makes 3,615 delayed calls: a millisecond late each would add 3.6 s to a run that the
// benchmark holds to the sum of its delays. Calls that overrun are made up for by the next ones.
TEST_F(Device, DelayedCallsAddUpToTheirDelays) {
    SetVariable("ORV_SIM_WRITE_DELAY_MS", "3");
    int32_t handle = Open();
    Bytes page(kPage, 0xFF);
    const auto start = std::chrono::steady_clock::now();
    for (int32_t i = 0; i < 100; ++i) {
        ASSERT_EQ(orvWriteFlash(handle, i, page.data()), kOk);
    }
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(300));
    // One stretch of a busy machine is allowed for, not a fraction of a millisecond on every call.
    EXPECT_LT(took, std::chrono::milliseconds(300 + 20));
}
