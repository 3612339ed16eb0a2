// How long a call of the simulated Kavix takes. The time runs from the start of the call, so the
// simulator's own work (writing the image file) is spent inside it rather than added to it, and it
// ends on a steady-clock deadline. A call that ended late, because the thread woke late, shortens
// the next one by as much: thousands of calls back to back take the sum of their delays.
#ifndef ORV_SIM_DEVICE_TIME_H
#define ORV_SIM_DEVICE_TIME_H

#include <chrono>
#include <cstdint>

namespace orv_sim {

class DeviceTime {
public:
    // Starts now. `lateness` is the device's: what earlier calls overran and no call has made up
    // for yet. It is taken off this call, at most its whole delay.
    DeviceTime(int32_t milliseconds, std::chrono::steady_clock::duration& lateness);

    // Returns once the time is up, and adds what it overran to the lateness.
    void WaitForEnd() const;

private:
    std::chrono::steady_clock::duration& lateness;
    std::chrono::steady_clock::time_point end;
    bool timed;
};

}  // namespace orv_sim

#endif
