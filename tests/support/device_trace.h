// Reading the trace that the simulated Kavix writes (ORV_SIM_TRACE): one line per call,
// "function index|- status thread". Shared by every test that checks the calls a run made.
#ifndef ORVFLASH_TESTS_SUPPORT_DEVICE_TRACE_H
#define ORVFLASH_TESTS_SUPPORT_DEVICE_TRACE_H

#include <string>
#include <vector>

namespace kavix_test {

struct DeviceCall {
    std::string function;
    long index = -1;  // -1 for "-": the call has none
    long status = 0;
    std::string thread;
};

// The trace file; an absent file is an empty trace.
std::vector<DeviceCall> ReadTrace(const std::string& path);

}  // namespace kavix_test

#endif
