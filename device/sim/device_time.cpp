#include "sim/device_time.h"

#include <thread>

namespace orv_sim {

namespace {

// A sleep may end a timer tick or more late, which over 3,600 calls would be seconds: the last
// stretch before the deadline is spent yielding instead.
constexpr std::chrono::microseconds kYieldingStretch(1000);

}  // namespace

DeviceTime::DeviceTime(int32_t milliseconds)
    : end(std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds)) {}

void DeviceTime::WaitForEnd() const {
    for (auto now = std::chrono::steady_clock::now(); now < end;
         now = std::chrono::steady_clock::now()) {
        if (end - now > kYieldingStretch) {
            std::this_thread::sleep_for(end - now - kYieldingStretch);
        } else {
            std::this_thread::yield();
        }
    }
}

}  // namespace orv_sim
