// The device calls of a whole update run and nothing else, on the threads the run makes them on:
// open, type and the eight data block reads on the calling thread, then the erase, the image pages
// and the restored pages on a thread of its own. What the updater costs is what it takes beyond
// this.
#ifndef ORVFLASH_BENCH_BARE_RUN_H
#define ORVFLASH_BENCH_BARE_RUN_H

#include <cstdint>

struct BareRunTimes {
    bool succeeded = false;         // every call returned zero and the type was 1
    double preparationSeconds = 0;  // open, type, reads
    double programmingSeconds = 0;  // from starting the thread to its end
    double writesSeconds = 0;       // the page writes alone
    int32_t pageWrites = 0;

    double TotalSeconds() const { return preparationSeconds + programmingSeconds; }
};

// `image` holds `imagePages` whole pages.
BareRunTimes BareRun(const unsigned char* image, int32_t imagePages);

#endif
