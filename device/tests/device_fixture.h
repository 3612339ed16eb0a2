// Each test of the simulated Kavix gets one of its own: untraced, with no flash image until the
// first open and every other ORV_SIM_ variable cleared.
#ifndef ORV_DEVICE_TESTS_DEVICE_FIXTURE_H
#define ORV_DEVICE_TESTS_DEVICE_FIXTURE_H

#include <gtest/gtest.h>

#include "kavix_flash.h"
#include "orv_api.h"
#include "bytes.h"
#include "sim/status.h"
#include "simulated_kavix.h"

namespace fs = std::filesystem;
using namespace kavix_test;
using namespace orv_sim;
using namespace layout;

class DeviceTest : public ::testing::Test {
protected:
    DeviceTest() { fs::remove(flashPath); }

    // Opens with the variables as set; fails the test when the open fails.
    int32_t Open() {
        int32_t handle = 0;
        EXPECT_EQ(orvOpenDevice(&handle), kOk);
        return handle;
    }
    // Opens expecting a refusal, which stores no handle.
    orvStatus RefusedOpen() {
        int32_t handle = -1;
        const orvStatus status = orvOpenDevice(&handle);
        EXPECT_EQ(handle, -1);
        return status;
    }
    Bytes Flash() const { return kavix.Flash(); }
    // Every kind of call with `handle` fails with `status`, storing and changing nothing.
    void ExpectEveryCallFails(int32_t handle, orvStatus status) {
        const Bytes before = Flash();
        Bytes buffer(kSector, 0);
        int32_t type = -1;
        EXPECT_EQ(orvGetDeviceType(handle, &type), status);
        EXPECT_EQ(orvReadFlash(handle, 0, buffer.data()), status);
        EXPECT_EQ(orvClearFlash(handle), status);
        EXPECT_EQ(orvWriteFlash(handle, 1, buffer.data()), status);
        EXPECT_EQ(type, -1);
        EXPECT_EQ(buffer, Bytes(kSector, 0));
        EXPECT_EQ(Flash(), before);
    }

    SimulatedKavix kavix{DeviceFlash(), false};
    const std::string flashPath = kavix.FlashPath();
};

#endif
