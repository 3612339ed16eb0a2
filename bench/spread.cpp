#include "spread.h"

#include <algorithm>

Spread SpreadOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    Spread spread;
    spread.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    spread.low = values.front();
    spread.high = values.back();
    return spread;
}
