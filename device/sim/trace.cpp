#include "sim/trace.h"

#include <cstdio>

#include "sim/platform.h"

namespace orv_sim {

bool Trace::Start(const std::string& tracePath) {
    path.clear();
    if (tracePath.empty()) {
        return true;
    }
    std::FILE* file = OpenFile(tracePath.c_str(), "ab");
    if (!file || std::fclose(file) != 0) {
        return false;
    }
    path = tracePath;
    return true;
}

void Trace::Record(const char* function, orvStatus status) const {
    Append(function, "-", status);
}

void Trace::Record(const char* function, int32_t index, orvStatus status) const {
    Append(function, std::to_string(index), status);
}

void Trace::Append(const char* function, const std::string& index, orvStatus status) const {
    if (path.empty()) {
        return;
    }
    // Binary, so that the lines end in \n on Windows too. Opened per line for the same reason as
    // the flash image: Windows keeps a held file from being deleted.
    std::FILE* file = OpenFile(path.c_str(), "ab");
    if (!file) {
        return;  // a lost trace line must not change what the device does
    }
    std::fprintf(file, "%s %s %ld %lu\n", function, index.c_str(), static_cast<long>(status),
                 CurrentThreadId());
    std::fclose(file);
}

}  // namespace orv_sim
