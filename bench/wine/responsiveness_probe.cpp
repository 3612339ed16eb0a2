#include "responsiveness_probe.h"

#include <chrono>

namespace {

constexpr auto kInterval = std::chrono::milliseconds(10);
constexpr UINT kTimeoutMs = 5000;

}  // namespace

ResponsivenessProbe::ResponsivenessProbe(HWND window)
    : window(window), stop(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    thread = CreateThread(nullptr, 0, &ResponsivenessProbe::Probe, this, 0, nullptr);
}

ResponsivenessProbe::~ResponsivenessProbe() {
    Stop();
    CloseHandle(stop);
}

std::vector<double> ResponsivenessProbe::Stop() {
    if (thread != nullptr) {
        SetEvent(stop);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        thread = nullptr;
    }
    return answers;
}

DWORD WINAPI ResponsivenessProbe::Probe(LPVOID self) {
    auto* probe = static_cast<ResponsivenessProbe*>(self);
    using Clock = std::chrono::steady_clock;
    // On a fixed schedule, so that a late answer does not thin out the probes after it.
    auto next = Clock::now();
    for (;;) {
        const auto sent = Clock::now();
        DWORD_PTR result = 0;
        const bool answered = SendMessageTimeoutA(probe->window, WM_NULL, 0, 0, SMTO_NORMAL,
                                                  kTimeoutMs, &result) != 0;
        probe->answers.push_back(
            answered ? std::chrono::duration<double, std::milli>(Clock::now() - sent).count()
                     : double(kTimeoutMs));
        next += kInterval;
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now());
        if (WaitForSingleObject(probe->stop, wait.count() > 0 ? DWORD(wait.count()) : 0) !=
            WAIT_TIMEOUT) {
            return 0;
        }
    }
}
