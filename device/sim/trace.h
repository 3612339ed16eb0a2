// One line per call in the ORV_SIM_TRACE file: `<function> <index> <status> <thread>`, the index a
// sector or page or `-`, the thread the caller's OS thread id. Each line is on disk when the call
// returns.
#ifndef ORV_SIM_TRACE_H
#define ORV_SIM_TRACE_H

#include <cstdint>
#include <string>

#include "orv_api.h"

namespace orv_sim {

class Trace {
public:
    // Traces to `tracePath` from now on, nowhere when it is empty. False when the file cannot be
    // opened for appending; then nothing is traced.
    bool Start(const std::string& tracePath);

    void Record(const char* function, orvStatus status) const;
    void Record(const char* function, int32_t index, orvStatus status) const;

private:
    void Append(const char* function, const std::string& index, orvStatus status) const;

    std::string path;
};

}  // namespace orv_sim

#endif
