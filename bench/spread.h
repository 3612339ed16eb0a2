// Median and range of repeated measurements: on a shared machine single figures say little.
#ifndef ORVFLASH_BENCH_SPREAD_H
#define ORVFLASH_BENCH_SPREAD_H

#include <vector>

struct Spread {
    double median = 0;
    double low = 0;
    double high = 0;
};

// Of at least one value.
Spread SpreadOf(std::vector<double> values);

#endif
