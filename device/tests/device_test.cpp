// Opening, handles, and what the ORV_SIM_ variables make the device do.
#include <algorithm>
#include <chrono>
#include <functional>
#include <type_traits>

#include "sim_fixture.h"

using namespace orv_sim;

using Device = SimTest;

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
    Bytes before = Flash();
    Bytes buffer(kSector, 0);
    for (int32_t wrong : {first, 0, latest + 1}) {
        int32_t type = -1;
        EXPECT_EQ(orvGetDeviceType(wrong, &type), kBadHandle);
        EXPECT_EQ(type, -1);
        EXPECT_EQ(orvReadFlash(wrong, 0, buffer.data()), kBadHandle);
        EXPECT_EQ(orvClearFlash(wrong), kBadHandle);
        EXPECT_EQ(orvWriteFlash(wrong, 0, buffer.data()), kBadHandle);
    }
    EXPECT_EQ(buffer, Bytes(kSector, 0));
    EXPECT_EQ(Flash(), before);
}

TEST_F(Device, FailedOpenStoresNoHandleCreatesNoImageAndClosesTheDevice) {
    int32_t earlier = Open();
    fs::remove(flashPath);
    SetVariable("ORV_SIM_OPEN_FAIL", "1");
    int32_t handle = -1;
    EXPECT_EQ(orvOpenDevice(&handle), kInjectedFault);
    EXPECT_EQ(handle, -1);
    EXPECT_FALSE(fs::exists(flashPath));
    EXPECT_EQ(orvClearFlash(earlier), kNotOpen);
}

TEST_F(Device, TypeIsReadAgainAtEachOpen) {
    int32_t type = 0;
    EXPECT_EQ(orvGetDeviceType(Open(), &type), kOk);
    EXPECT_EQ(type, 1);
    SetVariable("ORV_SIM_TYPE", "-7");
    EXPECT_EQ(orvGetDeviceType(Open(), &type), kOk);
    EXPECT_EQ(type, -7);
    SetVariable("ORV_SIM_TYPE_STORES_NOTHING", "1");
    type = 42;
    EXPECT_EQ(orvGetDeviceType(Open(), &type), kOk);
    EXPECT_EQ(type, 42);
    SetVariable("ORV_SIM_TYPE_STORES_NOTHING", "");
    SetVariable("ORV_SIM_TYPE", "");
    EXPECT_EQ(orvGetDeviceType(Open(), &type), kOk);
    EXPECT_EQ(type, 1);
}

TEST_F(Device, BadValueFailsTheOpenAndRangeEndsDoNot) {
    const struct {
        const char* variable;
        const char* value;
        bool valid;
    } settings[] = {
        {"ORV_SIM_TYPE", "1x", false},
        {"ORV_SIM_TYPE", " 1", false},
        {"ORV_SIM_TYPE", "-", false},
        {"ORV_SIM_TYPE", "2147483648", false},
        {"ORV_SIM_TYPE", "-2147483648", true},
        {"ORV_SIM_SERIAL", "0x12", false},
        {"ORV_SIM_SERIAL", "99999999999999999999", false},
        {"ORV_SIM_OPEN_FAIL", "2", false},
        {"ORV_SIM_ERASE_FAIL", "yes", false},
        {"ORV_SIM_READ_FAIL_SECTOR", "32", false},
        {"ORV_SIM_READ_FAIL_SECTOR", "31", true},
        {"ORV_SIM_WRITE_FAIL_PAGE", "-1", false},
        {"ORV_SIM_WRITE_FAIL_PAGE", "8191", true},
        {"ORV_SIM_UNPLUG_AFTER", "-1", false},
        {"ORV_SIM_UNPLUG_AFTER", "+1", false},
        {"ORV_SIM_EXIT_AT_PAGE", "8192", false},
        {"ORV_SIM_READ_DELAY_MS", "-5", false},
        {"ORV_SIM_ERASE_DELAY_MS", "00", true},
    };
    for (const auto& setting : settings) {
        SetVariable(setting.variable, setting.value);
        int32_t handle = -1;
        EXPECT_EQ(orvOpenDevice(&handle), setting.valid ? kOk : kBadConfig)
            << setting.variable << "=\"" << setting.value << '"';
        EXPECT_EQ(handle != -1, setting.valid);
        EXPECT_EQ(fs::exists(flashPath), setting.valid);
        fs::remove(flashPath);
        SetVariable(setting.variable, "");
    }
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
    EXPECT_EQ(orvReadFlash(handle, 32, buffer.data()), kBadIndex);
    EXPECT_EQ(orvWriteFlash(handle, 0, buffer.data()), kOk);
    Bytes before = Flash();
    buffer.assign(kSector, 0xAB);
    EXPECT_EQ(orvGetDeviceType(handle, &type), kUnplugged);
    EXPECT_EQ(orvReadFlash(handle, 0, buffer.data()), kUnplugged);
    EXPECT_EQ(orvClearFlash(handle), kUnplugged);
    EXPECT_EQ(orvWriteFlash(handle, 1, buffer.data()), kUnplugged);
    EXPECT_EQ(type, -1);
    EXPECT_EQ(buffer, Bytes(kSector, 0xAB));
    EXPECT_EQ(Flash(), before);

    // Plugged in again the count starts over; with no calls left even the open fails.
    EXPECT_EQ(orvClearFlash(Open()), kOk);
    SetVariable("ORV_SIM_UNPLUG_AFTER", "0");
    handle = -1;
    EXPECT_EQ(orvOpenDevice(&handle), kUnplugged);
    EXPECT_EQ(handle, -1);
}

#ifndef _WIN32
// As by a power loss: the process ends as the page's write begins, and only the first process
// that opens the device with the variable set ends so.
TEST_F(Device, ExitAtPageEndsOneProcessBeforeThePageIsWritten) {
    Open();
    const Bytes before = Flash();
    const Bytes zeros(kPage, 0);
    SetVariable("ORV_SIM_EXIT_AT_PAGE", "5");
    EXPECT_EXIT(
        {
            int32_t handle = Open();
            orvWriteFlash(handle, 4, const_cast<unsigned char*>(zeros.data()));
            orvWriteFlash(handle, 5, const_cast<unsigned char*>(zeros.data()));
        },
        ::testing::ExitedWithCode(3), "");
    EXPECT_EQ(Slice(Flash(), 4 * kPage, kPage), zeros);
    EXPECT_EQ(Slice(Flash(), 5 * kPage, kPage), Slice(before, 5 * kPage, kPage));
    EXPECT_EQ(orvWriteFlash(Open(), 5, const_cast<unsigned char*>(zeros.data())), kOk);
}
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
