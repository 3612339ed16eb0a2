#include "device_trace.h"

#include <fstream>
#include <sstream>

namespace kavix_test {

std::vector<DeviceCall> ReadTrace(const std::string& path) {
    std::vector<DeviceCall> calls;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        std::istringstream fields(line);
        DeviceCall call;
        std::string index;
        fields >> call.function >> index >> call.status >> call.thread;
        call.index = index == "-" ? -1 : std::stol(index);
        calls.push_back(call);
    }
    return calls;
}

}  // namespace kavix_test
