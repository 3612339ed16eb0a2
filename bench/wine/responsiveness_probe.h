// Sends a window WM_NULL every 10 ms from a thread of its own and records how long each answer
// takes: a window whose thread is held up answers late.
#ifndef ORVFLASH_BENCH_RESPONSIVENESS_PROBE_H
#define ORVFLASH_BENCH_RESPONSIVENESS_PROBE_H

#include <windows.h>

#include <vector>

class ResponsivenessProbe {
public:
    // Starts probing at once.
    explicit ResponsivenessProbe(HWND window);
    ResponsivenessProbe(const ResponsivenessProbe&) = delete;
    ResponsivenessProbe& operator=(const ResponsivenessProbe&) = delete;
    ~ResponsivenessProbe();

    // Stops and returns each answer's time in milliseconds; one that never came counts as the
    // probe's timeout.
    std::vector<double> Stop();

private:
    static DWORD WINAPI Probe(LPVOID self);

    HWND window;
    HANDLE stop;
    HANDLE thread;
    std::vector<double> answers;
};

#endif
