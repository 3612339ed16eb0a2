#!/bin/sh
# ctest's emulator for the Windows builds: starts a test program under the Wine loader chosen for
# this machine (scripts/wine-env.sh; under scripts/with-wine.sh its choice is inherited).
. "$(dirname "$0")/../scripts/wine-env.sh"
exec "$ORV_WINE" "$@"
