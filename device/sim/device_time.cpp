#include "sim/device_time.h"

#include <algorithm>
#include <thread>

namespace orv_sim {

namespace {

using Clock = std::chrono::steady_clock;

// A sleep may end a timer tick or more late: the last stretch before the deadline is spent
// yielding instead.
constexpr std::chrono::microseconds kYieldingStretch(1000);

}  // namespace

DeviceTime::DeviceTime(int32_t milliseconds, Clock::duration& lateness)
    : lateness(lateness), timed(milliseconds > 0) {
    const Clock::duration delay = std::chrono::milliseconds(milliseconds);
    const Clock::duration madeUp = std::min(lateness, delay);
    lateness -= madeUp;
    end = Clock::now() + delay - madeUp;
}

void DeviceTime::WaitForEnd() const {
    auto now = Clock::now();
    for (; now < end; now = Clock::now()) {
        if (end - now > kYieldingStretch) {
            std::this_thread::sleep_for(end - now - kYieldingStretch);
        } else {
            std::this_thread::yield();
        }
    }
    if (timed) {
        lateness += now - end;
    }
}

}  // namespace orv_sim
