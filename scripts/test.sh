#!/usr/bin/env bash
# Sets up what a fresh Debian machine lacks, builds every preset and runs every test: native unit
# tests under AddressSanitizer + UndefinedBehaviorSanitizer and under ThreadSanitizer, then the
# Windows build's tests under Wine (unit tests, window tests, end-to-end runs of orvflash.exe).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

for preset in native native-tsan windows; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

ctest --preset native --parallel 2
ctest --preset native-tsan --parallel 2
scripts/with-wine.sh ctest --preset windows --parallel 2
