#!/bin/sh
# Runs an end-to-end driver inside a Wine virtual desktop of its own (no window manager needed,
# and no 2 s wait each time a window closes), then prints the driver's output and returns its
# status, as ctest expects; both come through files (see driver_session.h).
#   run_in_desktop.sh DESKTOP_NAME DRIVER_EXE [driver arguments]
set -u
name=$1
driver=$2
shift 2

# The Wine loader for this machine; under scripts/with-wine.sh its choice is inherited.
. "$(dirname "$0")/../../scripts/wine-env.sh"
if [ -n "${ORV_WINE_64_ONLY:-}" ] && [ "${WINELOADER:-}" != /usr/lib/wine/wine64 ]; then
    echo "run_in_desktop: not the 64-bit loader: $ORV_WINE"
    exit 1
fi
out=$(mktemp -d "${TMPDIR:-/tmp}/orvflash-e2e.XXXXXX")
trap 'rm -rf "$out"' EXIT

# The driver stops itself at its deadline; the timeout only covers Wine not starting at all.
timeout -k 10 960 "$ORV_WINE" explorer "/desktop=$name,1280x1024" \
    "Z:$(printf %s "$driver" | tr / '\\')" --session="$out" "$@" </dev/null >"$out/wine.txt" 2>&1

cat "$out/output.txt" 2>/dev/null
status=$(tr -d '\r\n ' 2>/dev/null <"$out/status")
if [ -z "$status" ]; then
    echo "run_in_desktop: the driver did not report a result; Wine said:"
    cat "$out/wine.txt"
    exit 1
fi
exit "$status"
