#!/usr/bin/env bash
# Sets up a fresh Debian machine, cross-builds orvflash, makes demo/ with orvflash.exe, the simulated
# Kavix (orv_api.dll, slowed down so that a run takes about 20 s) and a sample Kavix_V5.dat, and runs
# the updater under Wine:
# - with a usable $DISPLAY, on it, for you to use (Wine prefix: demo/wine-prefix, kept between runs);
# - without one, on a private Xvfb and Wine prefix, where one update run is driven through the
#   window, then a second one whose device refuses a page write, and screenshots are saved in
#   demo/screenshots/.
# Each start gives a factory-fresh Kavix (firmware 4), flash image file demo/kavix_flash.bin.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/report-stop.sh
root=$(pwd)
demo=$root/demo

# Inside with-wine.sh: drive one run and take the screenshots.
if [ "${1:-}" = "--drive-demo" ]; then
    shots=$demo/screenshots
    work=$(mktemp -d /tmp/orvflash-demo.XXXXXX)
    trap 'rm -rf "$work"' EXIT
    driver=$root/build/windows/bin/orvflash_e2e.exe
    "$ORV_WINE" explorer /desktop=orvflash-demo,1024x768 "Z:${driver//\//\\}" \
        --demo="$demo" --shots="$work" --output="$work/driver.txt" --status="$work/status" \
        --deadline=240 </dev/null >"$work/wine.txt" 2>&1 &
    wine_pid=$!
    for moment in start programming finished failed; do
        # The driver waits for each screenshot; it gives up by itself after its deadline.
        for _ in $(seq 1200); do
            [ -e "$work/$moment.rect" ] || ! kill -0 "$wine_pid" 2>/dev/null && break
            sleep 0.1
        done
        [ -e "$work/$moment.rect" ] || break
        read -r x y w h <"$work/$moment.rect"
        # The virtual desktop sits at the top left of the screen: its coordinates are the screen's.
        import -window root -crop "${w}x${h}+${x}+${y}" +repage "$shots/$moment.png"
        touch "$work/$moment.taken"
    done
    wait "$wine_pid" || true
    cat "$work/driver.txt" 2>/dev/null || true
    status=$(tr -d '\r\n ' 2>/dev/null <"$work/status" || true)
    if [ -z "$status" ]; then
        echo "run: the demo run gave no result; Wine said: $(tail -n 1 "$work/wine.txt")" >&2
        exit 1
    fi
    [ "$status" = 0 ] || { echo "run: the demo run failed" >&2; exit 1; }
    exit 0
fi

scripts/setup.sh
. scripts/wine-env.sh
cmake --preset windows >/dev/null
cmake --build --preset windows

mkdir -p "$demo/screenshots"
cp build/windows/bin/orvflash.exe build/windows/bin/orv_api.dll "$demo/"
# A sample image of the full 512 KiB: a readable header, then deterministic bytes.
python3 - "$demo/Kavix_V5.dat" <<'PY'
import sys
header = b"KAVIX FIRMWARE V5 - orvflash demo image\0"
body = bytearray()
x = 0x4B563500
while len(header) + len(body) < 0x80000:
    x = (x * 1103515245 + 12345) & 0xFFFFFFFF
    body.append(x >> 24)
with open(sys.argv[1], "wb") as f:
    f.write(header + body[: 0x80000 - len(header)])
PY
rm -f "$demo/kavix_flash.bin"

# Identifying takes about 1 s, the erase 1.5 s, programming 3,604 pages about 15 s.
for variable in ${!ORV_SIM_*}; do unset "$variable"; done
export ORV_SIM_FLASH="Z:${demo//\//\\}\\kavix_flash.bin"
export ORV_SIM_READ_DELAY_MS=120 ORV_SIM_ERASE_DELAY_MS=1500 ORV_SIM_WRITE_DELAY_MS=4

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    export WINEPREFIX=$demo/wine-prefix WINEDEBUG=-all
    if [ ! -d "$WINEPREFIX" ]; then
        echo "run: making the Wine prefix demo/wine-prefix (once, about 10 s)"
        # To a file: Wine's background programs would hold a pipe open.
        boot_log=$(mktemp /tmp/orvflash-wineboot.XXXXXX)
        if ! "$ORV_WINE" wineboot -i >"$boot_log" 2>&1 </dev/null; then
            # A half-made prefix would be taken for a made one next time.
            rm -rf "$WINEPREFIX"
            echo "run: Wine does not start here: $ORV_WINE wineboot -i failed:" \
                "$(tail -n 1 "$boot_log")" >&2
            rm -f "$boot_log"
            exit 1
        fi
        rm -f "$boot_log"
    fi
    echo "run: starting orvflash.exe on $DISPLAY from demo/"
    cd "$demo"
    exec "$ORV_WINE" orvflash.exe
fi

echo "run: no usable display; driving one update run on a private Xvfb"
ORV_FORCE_XVFB=1 scripts/with-wine.sh "$0" --drive-demo
echo "run: screenshots in $demo/screenshots/: start.png programming.png finished.png failed.png"
