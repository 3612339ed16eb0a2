#!/usr/bin/env bash
# Sets up what a fresh Debian machine lacks, builds every preset and runs every test: native unit
# tests under AddressSanitizer + UndefinedBehaviorSanitizer and under ThreadSanitizer, then, for
# 64-bit and 32-bit Windows, the tests under Wine (unit tests, window tests, end-to-end runs of
# orvflash.exe) and the checks of the files in the download.
# ORV_WINE_64_ONLY=1 tests as on a machine that runs no 32-bit programs (see scripts/wine-env.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/report-stop.sh

scripts/setup.sh
. scripts/wine-env.sh

# The 32-bit build runs under Wine only where 32-bit Windows programs run.
wine_tests_x86=ON
if [ -z "$ORV_WINE_32" ]; then
    wine_tests_x86=OFF
    echo "test: no 32-bit Wine here ($ORV_WINE_32_WHY): the 32-bit build is built and its" \
        "files checked, not run" >&2
fi

for preset in native native-tsan windows windows-x86; do
    options=()
    [ "$preset" != windows-x86 ] || options=(-DORV_WINE_TESTS=$wine_tests_x86)
    cmake --preset "$preset" "${options[@]}" >/dev/null
    cmake --build --preset "$preset"
done

ctest --preset native --parallel 2
ctest --preset native-tsan --parallel 2
scripts/with-wine.sh ctest --preset windows --parallel 2
if [ "$wine_tests_x86" = ON ]; then
    scripts/with-wine.sh ctest --preset windows-x86 --parallel 2
else
    ctest --preset windows-x86 --parallel 2
fi
