#!/usr/bin/env python3
"""Turns the figures of update_run_bench and orvflash_bench ("name=value" lines) into the results
table: bench/results.md, with each figure's target and whether it was met.

    results_table.py NATIVE_RESULTS WINE_RESULTS CAMPAIGN_RESULTS OUTPUT_MD
"""
import datetime
import os
import subprocess
import sys


def load(path):
    figures = {}
    with open(path) as f:
        for line in f:
            name, _, value = line.strip().partition("=")
            if name:
                figures[name] = float(value)
    return figures


def verdict(met):
    return "met" if met else "**missed**"


def main():
    native, wine, campaign = load(sys.argv[1]), load(sys.argv[2]), load(sys.argv[3])
    output = sys.argv[4]
    f = {**native, **wine, **campaign}
    mib = 1024.0
    updater_memory = f["mem_added_kib_median"] - f["mem_sim_kib_median"]

    rows = [
        ("1", "Native: whole Update run (real update code, recording fake window, simulator "
              "without delay) / bare loop of the same {:,} calls on the same threads, {} pairs"
              .format(int(f["native_calls"]), int(f["native_pairs"])),
         "%.3f (%.3f-%.3f); %.1f ms / %.1f ms"
         % (f["native_ratio_median"], f["native_ratio_low"], f["native_ratio_high"],
            f["native_updater_ms"], f["native_bare_ms"]),
         "median <= 1.05", verdict(f["native_ratio_median"] <= 1.05)),
        ("2", "Under Wine: orvflash.exe from the last Yes to \"Finished updating.\" / the same erase "
              "and page writes made bare by the driver under Wine, %d pairs" % f["wine_pairs"],
         "%.3f (%.3f-%.3f); %.0f ms / %.0f ms"
         % (f["wine_ratio_median"], f["wine_ratio_low"], f["wine_ratio_high"],
            f["wine_updater_ms"], f["wine_bare_ms"]),
         "median <= 1.10", verdict(f["wine_ratio_median"] <= 1.10)),
        ("3", "Under Wine, device model (30 ms a page write, 20 ms a sector read, 2 s the "
              "erase): orvflash.exe's whole run (Update click to the question, last Yes to "
              "\"Finished updating.\") / sum of the delays",
         "%.4f; %.2f s / %.2f s (programming alone %.4f)"
         % (f["model_ratio"], f["model_run_s"], f["model_sum_s"], f["model_programming_ratio"]),
         "<= 1.005", verdict(f["model_ratio"] <= 1.005)),
        ("4", "Under Wine, the window's answer to WM_NULL sent every 10 ms from the driver: "
              "during the device-model run ({:,} probes); during the start after an update cut "
              "in its write-back, from the click on Update to the question, while the window's "
              "thread reads the data block and the firmware half at 20 ms a read ({:,} probes)"
              .format(int(f["probe_count"]), int(f["probe_recovery_count"])),
         "median %.2f ms, max %.1f ms; median %.2f ms, max %.1f ms"
         % (f["probe_median_ms"], f["probe_max_ms"], f["probe_recovery_median_ms"],
            f["probe_recovery_max_ms"]),
         "max < 50 ms",
         verdict(f["probe_max_ms"] < 50 and f["probe_recovery_max_ms"] < 50)),
        ("5", "Under Wine: orvflash.exe's peak working set after a run - its working set "
              "idle at start (%.1f MiB), the median of %d runs; less the simulator's own share, "
              "the median of as many bare runs, each in a process of its own (%.2f MiB, "
              "%.2f-%.2f: its 2 MiB copy of the flash and the files it writes through)"
              % (f["mem_idle_kib"] / mib, f["mem_runs"], f["mem_sim_kib_median"] / mib,
                 f["mem_sim_kib_low"] / mib, f["mem_sim_kib_high"] / mib),
         "%.2f MiB added (%.2f-%.2f), %.2f MiB of it the updater's"
         % (f["mem_added_kib_median"] / mib, f["mem_added_kib_low"] / mib,
            f["mem_added_kib_high"] / mib, updater_memory / mib),
         "updater's <= 1.5 MiB", verdict(updater_memory <= 1.5 * mib)),
    ]

    commit = subprocess.run(["git", "describe", "--always", "--dirty"], capture_output=True,
                            text=True).stdout.strip() or "unknown"
    load1 = os.getloadavg()[0]
    lines = [
        "# Benchmark results",
        "",
        "Made by `scripts/bench.sh` on %s UTC, commit %s, %d cores, load %.2f at the end. "
        "Every figure is a side-by-side ratio taken in the same run; the machine's other work "
        "shows in the ranges." % (datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M"), commit,
                                  os.cpu_count(), load1),
        "",
        "| # | What | Measured | Target | |",
        "|---|---|---|---|---|",
    ]
    lines += ["| %s | %s | %s | %s | %s |" % row for row in rows]
    lines += [
        "",
        "The simulator's own write-through (open, write and close the flash image file) costs "
        "%.1f us a page natively and %.0f us under Wine, against the model's 30,000 us; with "
        "delays it is spent inside the delay, not added to it."
        % (f["native_sim_write_us"], f["wine_sim_write_us"]),
        "",
        "The worker reads the firmware half (sectors 0-7) before the erase, for the saved copy's "
        "record of the first MiB: 8 reads, 0.16 s of device time on the device model, counted in "
        "figure 3's sum of delays; an erase that fails adds a read of all 16 sectors (0.32 s). "
        "The copy's records add four durable file writes to a run (before the erase, after it, "
        "before the last page and the mark that the copy has served). The start after an "
        "interrupted update reads the firmware half too, on the window's thread, which answers "
        "its messages before each read: the second half of figure 4.",
        "",
        "What a run itself holds is the image (512 KiB), the data block as read (512 KiB) and "
        "one sector for the worker's reads (64 KiB); the bare run holds a copy of the data block "
        "and a sector too, and what of them its heap keeps counts in the simulator's share.",
        "",
        "Power-cut campaign, natively, optimised: %d trials from seed %d in %.1f s, %d ending in "
        "a complete run with the device's own data (%d of them from the saved copy, %d label "
        "questions asked, %d Kavix that changed their own data, %d of them while a copy of it was "
        "held, %d copies set aside, %d failed erases that changed nothing); %d last starts "
        "stopped, %d devices holding another's data, %d rolled back, %d copies lost while their "
        "Kavix needed them, %d false \"Finished updating.\". Each trial cuts one to three runs "
        "(a quarter of the cuts in the erase, an eighth on the serial number's page, others in "
        "the copy's records, the mark or the removal or just after one, in the read-back, before "
        "the erase or anywhere: a torn page, a cut erase, a torn file), or swaps the Kavix before "
        "the erase, has it lie about a page or an erase, fail its erase or a read of the "
        "read-back, or be cut so that its serial number reads a twin's whose copy is kept; lets a "
        "whole Kavix erase a sector or program bits of its own data; keeps stale copies of other "
        "Kavix (several of one serial number, serial -1, without records, of an untrusted "
        "writer); and sometimes attaches another Kavix after the cut. The tests run 500 trials "
        "under AddressSanitizer and 40 under ThreadSanitizer, from a new seed each time."
        % (f["campaign_trials"], f["campaign_seed"], f["campaign_s"], f["campaign_complete"],
           f["campaign_recovered"], f["campaign_asked"], f["campaign_changed"],
           f["campaign_changed_held"], f["campaign_set_aside"], f["campaign_not_erased"],
           f["campaign_stopped"], f["campaign_others"], f["campaign_rolled_back"],
           f["campaign_lost"], f["campaign_false"]),
        "",
    ]
    with open(output, "w") as out:
        out.write("\n".join(lines))


if __name__ == "__main__":
    main()
