#!/usr/bin/env bash
# Benchmarks: what the updater costs next to the device. Sets up what a fresh Debian machine lacks,
# builds the optimised native preset and the Windows preset, runs the native benchmark, the
# power-cut campaign and then the one under Wine (a private prefix and Xvfb, about five minutes,
# most of it one run with the simulator slowed to a model of the real Kavix), writes
# bench/results.md and prints it.
#   scripts/bench.sh [--pairs=N]   N: side-by-side pairs under Wine (default 15; natively 201)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/report-stop.sh
root=$(pwd)

wine_pairs=15
for arg in "$@"; do
    case $arg in
        --pairs=*) wine_pairs=${arg#--pairs=} ;;
        *) echo "bench: unknown argument $arg" >&2; exit 64 ;;
    esac
done

scripts/setup.sh
. scripts/wine-env.sh
for preset in native-release windows; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

work=$(mktemp -d /tmp/orvflash-bench.XXXXXX)
native_tmp=$work
trap 'rm -rf "$work" "$native_tmp"' EXIT

# On tmpfs where there is one: the simulator's file writes get cheaper and steadier, which makes
# the updater's share show more, not less.
[ -d /dev/shm ] && [ -w /dev/shm ] && native_tmp=$(mktemp -d /dev/shm/orvflash-bench.XXXXXX)
echo "bench: native, 201 pairs"
TMPDIR=$native_tmp build/native-release/bench/update_run_bench --pairs=201 \
    --results="$work/native.txt"
[ "$native_tmp" = "$work" ] || rm -rf "$native_tmp"

echo "bench: power-cut campaign, 10000 trials"
start=$(date +%s.%N)
ORV_CAMPAIGN_TRIALS=10000 build/native-release/update/tests/power_cut_campaign >"$work/campaign.log"
end=$(date +%s.%N)
python3 bench/campaign_figures.py "$work/campaign.log" >"$work/campaign.txt"
awk -v s="$start" -v e="$end" 'BEGIN { print "campaign_s=" e - s }' >>"$work/campaign.txt"

echo "bench: under Wine, $wine_pairs pairs and one run with the device model"
bin=$root/build/windows/bin
scripts/with-wine.sh sh tests/e2e/run_in_desktop.sh orvflash_bench "$bin/orvflash_bench.exe" \
    --program="$bin/orvflash.exe" --library="$bin/orv_api.dll" --work="$work/wine" \
    --results="$work/wine.txt" --pairs="$wine_pairs"

python3 bench/results_table.py "$work/native.txt" "$work/wine.txt" "$work/campaign.txt" \
    bench/results.md
cat bench/results.md
