// How long a call of the simulated Kavix takes. The time runs from the start of the call, so the
// simulator's own work (writing the image file) is spent inside it rather than added to it, and it
// ends on a steady-clock deadline: thousands of calls then take the sum of their delays.
#ifndef ORV_SIM_DEVICE_TIME_H
#define ORV_SIM_DEVICE_TIME_H

#include <chrono>
#include <cstdint>

namespace orv_sim {

class DeviceTime {
public:
    // Starts now.
    explicit DeviceTime(int32_t milliseconds);

    // Returns once the time is up, never earlier.
    void WaitForEnd() const;

private:
    std::chrono::steady_clock::time_point end;
};

}  // namespace orv_sim

#endif
