#include "bounded_wait.h"

#include <chrono>
#include <thread>

bool WaitUntil(const std::function<bool()>& condition, unsigned long timeoutMs,
               unsigned long pollMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return condition();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
}
