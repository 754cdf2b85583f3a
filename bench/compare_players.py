#!/usr/bin/env python3
"""Renders 60 s of the demo tune and of each tune in ../shared/tunes with
chipbox-cli -o, and the same tunes with the peer player sidplayfp -w (once
with --resid -rif, its fastest mode, and once with its defaults), and prints
CPU seconds per minute of audio for each and the ratios, all from one run.
Also reports the peak resident memory of chipbox-cli while it plays.

Usage: bench/compare_players.py [BUILD_DIR]   (default: build)
Installs sidplayfp with apt-get when it is missing."""

import os
import resource
import shutil
import subprocess
import sys
import tempfile

SECONDS = 60
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def child_cpu_seconds():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def cpu_seconds(command):
    before = child_cpu_seconds()
    subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    return child_cpu_seconds() - before


def peak_memory_kib(command):
    """Peak resident set of one run, read from a fresh Python that waits for it."""
    probe = ("import resource,subprocess,sys;"
             "subprocess.run(sys.argv[1:],stdout=subprocess.DEVNULL,stderr=subprocess.DEVNULL);"
             "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
    result = subprocess.run([sys.executable, "-c", probe] + command, capture_output=True, text=True)
    return int(result.stdout.strip() or 0)


def ensure_sidplayfp():
    if shutil.which("sidplayfp"):
        return True
    subprocess.run(["apt-get", "install", "-y", "-qq", "sidplayfp"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    return shutil.which("sidplayfp") is not None


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build")
    cli = os.path.join(build, "ui", "chipbox-cli")
    tunes = [os.path.join(build, "tunes", "demo.sid")]
    shared = os.path.join(ROOT, "..", "shared", "tunes")
    if os.path.isdir(shared):
        tunes += sorted(os.path.join(shared, f) for f in os.listdir(shared) if f.endswith(".sid"))
    have_peer = ensure_sidplayfp()
    out = tempfile.mkdtemp()
    wav = os.path.join(out, "out.wav")

    header = f"{'tune':40} {'chipbox':>8} {'fp fast':>8} {'fp dflt':>8} {'fast/cb':>8} {'dflt/cb':>8}"
    print(f"CPU seconds per {SECONDS} s of audio")
    print(header)
    totals = [0.0, 0.0, 0.0]
    for tune in tunes:
        chipbox = cpu_seconds([cli, "-o", wav, "--seconds", str(SECONDS), tune])
        fast = default = float("nan")
        if have_peer:
            fast = cpu_seconds(["sidplayfp", f"-w{wav}", f"-t{SECONDS}", "--resid", "-rif", tune])
            default = cpu_seconds(["sidplayfp", f"-w{wav}", f"-t{SECONDS}", tune])
        for i, value in enumerate((chipbox, fast, default)):
            totals[i] += value
        name = os.path.basename(tune)[:40]
        print(f"{name:40} {chipbox:8.3f} {fast:8.3f} {default:8.3f} "
              f"{fast / chipbox:8.1f} {default / chipbox:8.1f}")
    print(f"{'total':40} {totals[0]:8.3f} {totals[1]:8.3f} {totals[2]:8.3f} "
          f"{totals[1] / totals[0]:8.1f} {totals[2] / totals[0]:8.1f}")

    env = dict(os.environ, SDL_AUDIODRIVER=os.environ.get("SDL_AUDIODRIVER", "dummy"))
    os.environ.update(env)
    rss = peak_memory_kib([cli, "--seconds", "3", tunes[0]])
    print(f"\nPeak resident memory of chipbox-cli playing for 3 s "
          f"(SDL_AUDIODRIVER={env['SDL_AUDIODRIVER']}): {rss / 1024:.1f} MiB")
    shutil.rmtree(out, ignore_errors=True)


if __name__ == "__main__":
    main()
