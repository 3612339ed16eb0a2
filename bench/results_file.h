// The figures of one benchmark program as "name=value" lines, which scripts/bench.sh turns into
// the results table.
#ifndef ORVFLASH_BENCH_RESULTS_FILE_H
#define ORVFLASH_BENCH_RESULTS_FILE_H

#include <fstream>
#include <string>

#include "spread.h"

class ResultsFile {
public:
    // Also echoes every figure to stdout.
    explicit ResultsFile(const std::string& path);

    void Put(const std::string& name, double value);
    void Put(const std::string& name, const std::string& value);
    // name_median, name_low, name_high.
    void Put(const std::string& name, const Spread& spread);

private:
    std::ofstream out;
};

#endif
