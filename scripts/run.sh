#!/usr/bin/env bash
# Sets up a fresh Debian machine, cross-builds orvflash, makes demo/ with orvflash.exe, the simulated
# Kavix (orv_api.dll, slowed down so that a run takes about 20 s) and a sample Kavix_V5.dat, and runs
# the updater under Wine:
# - with a usable $DISPLAY, on it, for you to use (Wine prefix: demo/wine-prefix, kept between runs);
# - without one, on a private Xvfb and Wine prefix, where demo_driver.exe drives one update run
#   through the window, then a second one whose device refuses a page write, and saves screenshots
#   in demo/screenshots/.
# Each start gives a factory-fresh Kavix (firmware 4), flash image file demo/kavix_flash.bin.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/report-stop.sh
demo=$(pwd)/demo

scripts/setup.sh
. scripts/wine-env.sh
cmake --preset windows >/dev/null
cmake --build --preset windows

mkdir -p "$demo"
cp build/windows/bin/orvflash.exe build/windows/bin/orv_api.dll "$demo/"
# A sample image of the full 512 KiB: a readable header, then the numbers from 1 as text.
{ printf 'KAVIX FIRMWARE V5 - orvflash demo image\0'; seq 90000; } >"$demo/Kavix_V5.dat"
truncate -s 512K "$demo/Kavix_V5.dat"
rm -f "$demo/kavix_flash.bin"

# Identifying takes about 1 s, the erase 1.5 s, programming 3,604 pages about 15 s.
for variable in ${!ORV_SIM_*}; do unset "$variable"; done
export ORV_SIM_FLASH="Z:${demo//\//\\}\\kavix_flash.bin"
export ORV_SIM_READ_DELAY_MS=120 ORV_SIM_ERASE_DELAY_MS=1500 ORV_SIM_WRITE_DELAY_MS=4
# The demo's library is the simulated Kavix: unattended runs (/s) refuse it without this.
export ORV_ALLOW_SIMULATOR=1

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    export WINEPREFIX=$demo/wine-prefix WINEDEBUG=-all
    if [ ! -d "$WINEPREFIX" ]; then
        echo "run: making the Wine prefix demo/wine-prefix (once, about 10 s)"
        # To a file: Wine's background programs would hold a pipe open.
        if ! "$ORV_WINE" wineboot -i >"$demo/wine.txt" 2>&1 </dev/null; then
            rm -rf "$WINEPREFIX"  # a half-made prefix would be taken for a made one next time
            echo "run: Wine does not start here: $ORV_WINE wineboot -i failed:" \
                "$(tail -n 1 "$demo/wine.txt")" >&2
            exit 1
        fi
    fi
    echo "run: starting orvflash.exe on $DISPLAY from demo/"
    cd "$demo"
    exec "$ORV_WINE" orvflash.exe
fi

echo "run: no usable display; driving one update run on a private Xvfb"
rm -rf "$demo/screenshots" "$demo/demo.txt"
mkdir "$demo/screenshots"
# In a Wine virtual desktop, which draws the title bars that a bare Xvfb lacks.
driver=$(pwd)/build/windows/bin/demo_driver.exe
ORV_FORCE_XVFB=1 scripts/with-wine.sh "$ORV_WINE" explorer /desktop=orvflash-demo,1024x768 \
    "Z:${driver//\//\\}" "Z:${demo//\//\\}" </dev/null >"$demo/wine.txt" 2>&1
cat "$demo/demo.txt" 2>/dev/null || true
if [ "$(tail -n 1 "$demo/demo.txt" 2>/dev/null)" != "demo: done" ]; then
    echo "run: the demo run failed; Wine said: $(tail -n 1 "$demo/wine.txt")" >&2
    exit 1
fi
echo "run: screenshots in $demo/screenshots/: start.png programming.png finished.png failed.png"
