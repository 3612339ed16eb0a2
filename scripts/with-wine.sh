#!/usr/bin/env bash
# Runs a command with a private Wine prefix and, when there is no display, a private Xvfb.
# Cleans up only what it started.
set -euo pipefail

wine_bin=$(command -v wine)
work=$(mktemp -d /tmp/orvflash-wine.XXXXXX)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid=""

cleanup() {
    WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ] || [ -n "${ORV_FORCE_XVFB:-}" ]; then
    display=""
    for n in $(seq 90 130); do
        if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
            display=$n
            break
        fi
    done
    [ -n "$display" ] || { echo "with-wine: no free X display" >&2; exit 1; }
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$display" ] && break
        sleep 0.1
    done
    [ -e "/tmp/.X11-unix/X$display" ] || { echo "with-wine: Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$display"
fi

# A persistent server spares every test program the server's start-up. The prefix's own
# background programs start here, away from the pipes of the tests: started by the first test
# instead, they would hold its output pipe open long after it has ended.
mkdir -p "$WINEPREFIX"
wineserver -p
"$wine_bin" wineboot -i >"$work/wineboot.log" 2>&1 </dev/null
"$wine_bin" cmd /c exit >>"$work/wineboot.log" 2>&1 </dev/null
# Keeps the default desktop's process alive between the tests (see desktop_keeper.c).
keeper_source="$(dirname "$0")/desktop_keeper.c"
if x86_64-w64-mingw32-gcc -Wall -Wextra -mwindows "$keeper_source" -o "$work/desktop_keeper.exe"; then
    "$wine_bin" "$work/desktop_keeper.exe" </dev/null >>"$work/wineboot.log" 2>&1 &
fi
export ORV_WINE="$wine_bin"
"$@"
