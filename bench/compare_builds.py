#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Compares two builds of chipbox-cli side by side in one run: CPU seconds to
render 60 s of the demo tune and of each tune in ../shared/tunes to a WAV
file (the best of three runs), grouped into ordinary, CIA-timed and capped
tunes, with the ratio before/after per tune and the geometric mean per group;
then the start-up time of `chipbox-cli -o -` (a WAV file of its own would add
the wait for the disk that makes it whole) and the peak memory while playing.

A tune counts as capped when the reference build needs more than a second per
minute of audio for it: an ordinary tune needs about a tenth of that, a tune
whose every play call runs into the cycle cap five seconds.

Usage: bench/compare_builds.py BUILD_DIR [REFERENCE_BUILD_DIR]
Without a reference the table shows the one build alone."""

import math
import os
import resource
import subprocess
import sys
import tempfile
import time

SECONDS = 60
RUNS = 3
CAPPED_SECONDS_PER_MINUTE = 1.0
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def child_cpu_seconds():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def cpu_seconds(command):
    best = math.inf
    for _ in range(RUNS):
        before = child_cpu_seconds()
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        best = min(best, child_cpu_seconds() - before)
    return best


def start_up_ms(command):
    """The least wall-clock and the least CPU time of 30 runs, in ms."""
    wall = cpu = math.inf
    for _ in range(30):
        start, before = time.perf_counter(), child_cpu_seconds()
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        wall = min(wall, time.perf_counter() - start)
        cpu = min(cpu, child_cpu_seconds() - before)
    return wall * 1000, cpu * 1000


def peak_memory_mib(command):
    """Peak resident set of one run, read from a fresh Python that waits for it."""
    probe = ("import resource,subprocess,sys;"
             "subprocess.run(sys.argv[1:],stdout=subprocess.DEVNULL,stderr=subprocess.DEVNULL);"
             "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
    env = dict(os.environ, SDL_AUDIODRIVER=os.environ.get("SDL_AUDIODRIVER", "dummy"))
    result = subprocess.run([sys.executable, "-c", probe] + command,
                            capture_output=True, text=True, env=env)
    return int(result.stdout.strip() or 0) / 1024


def is_cia_timed(cli, tune):
    info = subprocess.run([cli, "--info", tune], capture_output=True, text=True).stdout
    return "CIA timer" in info


def tune_paths(build):
    tunes = [os.path.join(build, "tunes", "demo.sid")]
    shared = os.path.join(ROOT, "..", "shared", "tunes")
    if os.path.isdir(shared):
        tunes += sorted(os.path.join(shared, f) for f in os.listdir(shared) if f.endswith(".sid"))
    return tunes


def geometric_mean(values):
    return math.exp(sum(math.log(v) for v in values) / len(values)) if values else math.nan


def measure(clis, tunes, wav):
    """Rows of (group, name, seconds per build), the reference build last."""
    rows = []
    for tune in tunes:
        times = [cpu_seconds([cli, "-o", wav, "--seconds", str(SECONDS), tune]) for cli in clis]
        if times[-1] > CAPPED_SECONDS_PER_MINUTE:
            group = "capped"
        elif is_cia_timed(clis[0], tune):
            group = "CIA-timed"
        else:
            group = "ordinary"
        rows.append((group, os.path.basename(tune)[:40], times))
    return rows


def print_table(rows, compared):
    print(f"CPU seconds per {SECONDS} s of audio, best of {RUNS}")
    print(f"{'tune':40} {'after':>8}" + (f" {'before':>8} {'ratio':>7}" if compared else ""))
    every_ratio = []
    for group in ("ordinary", "CIA-timed", "capped"):
        members = [row for row in rows if row[0] == group]
        if not members:
            continue
        print(f"-- {group} tunes")
        ratios = []
        for _, name, times in members:
            line = f"{name:40} {times[0]:8.3f}"
            if compared:
                ratios.append(times[1] / times[0])
                line += f" {times[1]:8.3f} {ratios[-1]:6.1f}x"
            print(line)
        if compared:
            print(f"{'geometric mean of the ratios':40} {'':17} {geometric_mean(ratios):6.1f}x")
        every_ratio += ratios
    if compared:
        print(f"\nAll tunes: geometric mean before/after {geometric_mean(every_ratio):.2f}x")


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    builds = sys.argv[1:3]
    clis = [os.path.join(build, "ui", "chipbox-cli") for build in builds]
    tunes = tune_paths(builds[0])
    with tempfile.TemporaryDirectory() as out:
        wav = os.path.join(out, "out.wav")
        print_table(measure(clis, tunes, wav), compared=len(clis) == 2)
        wall, cpu = start_up_ms(["true"])
        print(f"\nStarting /bin/true takes {wall:.2f} ms ({cpu:.2f} ms of CPU) here.")
        for label, cli in zip(("after", "before"), clis):
            wall, cpu = start_up_ms([cli, "-o", "-", "--seconds", "0.01", tunes[0]])
            print(f"{label}: chipbox-cli -o - rendering 0.01 s takes {wall:.2f} ms "
                  f"({cpu:.2f} ms of CPU), "
                  f"peak memory playing 3 s "
                  f"{peak_memory_mib([cli, '--seconds', '3', tunes[0]]):.1f} MiB")


if __name__ == "__main__":
    main()
