#!/usr/bin/env bash
# Makes the downloads: dist/orvflash-<version>-win64.zip and dist/orvflash-<version>-win32.zip,
# each with orvflash.exe, the simulated orv_api.dll and README.txt for the user. Needs no Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/report-stop.sh

scripts/setup.sh
mkdir -p dist
for preset in windows windows-x86; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    rm -rf "build/$preset/package"
    cpack --config "build/$preset/CPackConfig.cmake" -B "build/$preset/package" >/dev/null
    cp "build/$preset"/package/orvflash-*.zip dist/
done
ls -l dist/*.zip
