#!/usr/bin/env bash
# Runs a command with a private Wine prefix and, when there is no display, a private Xvfb.
# Cleans up only what it started. Programs are started with "$ORV_WINE" (see wine-env.sh).
set -euo pipefail
. "$(dirname "$0")/report-stop.sh"
. "$(dirname "$0")/wine-env.sh"

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
    # Xvfb takes a free display and writes its number once it accepts connections.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    if [ ! -s "$work/display" ]; then
        echo "with-wine: Xvfb did not start: $(tail -n 1 "$work/xvfb.log")" >&2
        exit 1
    fi
    export DISPLAY=":$(cat "$work/display")"
fi

# A persistent server spares every test program the server's start-up. The prefix's own
# background programs start here, away from the pipes of the tests: started by the first test
# instead, they would hold its output pipe open long after it has ended.
mkdir -p "$WINEPREFIX"
wineserver -p
start_in_prefix() {
    "$ORV_WINE" "$@" >>"$work/wineboot.log" 2>&1 </dev/null && return
    echo "with-wine: Wine does not start here: $ORV_WINE $* failed:" \
        "$(tail -n 1 "$work/wineboot.log" | sed 's/^.*: line [0-9]*: //')" >&2
    exit 1
}
start_in_prefix wineboot -i
start_in_prefix cmd /c exit
# Keeps the default desktop's process alive between the tests (see desktop_keeper.c); built once
# for each version of its source.
keeper_source=$(dirname "$0")/desktop_keeper.c
keeper=$(dirname "$0")/../build/desktop_keeper-$(sha1sum <"$keeper_source" | cut -c1-12).exe
if [ -e "$keeper" ] || { mkdir -p "${keeper%/*}" &&
    x86_64-w64-mingw32-gcc -Wall -Wextra -mwindows "$keeper_source" -o "$keeper.$$" &&
    mv "$keeper.$$" "$keeper"; }; then
    "$ORV_WINE" "$keeper" </dev/null >>"$work/wineboot.log" 2>&1 &
fi
# The command's own failure is the caller's to report.
trap - ERR
"$@"
