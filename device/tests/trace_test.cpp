// The trace of device calls that the updater's tests read.
#include <fstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "device_fixture.h"

using Trace = DeviceTest;

namespace {

unsigned long ThisThreadId() {
#ifdef _WIN32
    return GetCurrentThreadId();
#else
    return static_cast<unsigned long>(gettid());
#endif
}

std::string Line(const char* function, const char* index, orvStatus status,
                 unsigned long thread = ThisThreadId()) {
    return std::string(function) + " " + index + " " + std::to_string(status) + " " +
           std::to_string(thread);
}

}  // namespace

TEST_F(Trace, AppendsALinePerCallBeforeItReturnsOrFailsTheOpen) {
    SetVariable("ORV_SIM_TRACE", (kavix.Folder() / "missing" / "trace.txt").string());
    EXPECT_EQ(RefusedOpen(), kIoError);  // unwritable

    WriteBytes(kavix.TracePath(), {'x', '\n'});
    SetVariable("ORV_SIM_TRACE", kavix.TracePath());
    std::vector<std::string> expected = {"x", Line("orvOpenDevice", "-", kBadConfig)};
    auto lines = [this] {
        std::vector<std::string> all;
        std::ifstream in(kavix.TracePath());
        for (std::string line; std::getline(in, line);) {
            all.push_back(line);
        }
        return all;
    };
    SetVariable("ORV_SIM_TYPE", "bad");
    EXPECT_EQ(RefusedOpen(), kBadConfig);
    EXPECT_EQ(lines(), expected);

    SetVariable("ORV_SIM_TYPE", "");
    SetVariable("ORV_SIM_WRITE_FAIL_PAGE", "2048");
    const int32_t handle = Open();
    Bytes buffer(kSector, 0);
    int32_t type = 0;
    orvGetDeviceType(handle, &type);
    orvReadFlash(handle, 31, buffer.data());
    orvReadFlash(handle, -1, buffer.data());
    orvClearFlash(handle);
    orvWriteFlash(handle, 2048, buffer.data());
    unsigned long worker = 0;
    std::thread([&] {
        worker = ThisThreadId();
        orvWriteFlash(handle + 1, 8191, buffer.data());
    }).join();
    EXPECT_NE(worker, ThisThreadId());
    expected.insert(expected.end(),
                    {Line("orvOpenDevice", "-", kOk), Line("orvGetDeviceType", "-", kOk),
                     Line("orvReadFlash", "31", kOk), Line("orvReadFlash", "-1", kBadIndex),
                     Line("orvClearFlash", "-", kOk), Line("orvWriteFlash", "2048", kInjectedFault),
                     Line("orvWriteFlash", "8191", kBadHandle, worker)});
    EXPECT_EQ(lines(), expected);
}
