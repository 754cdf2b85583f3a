#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the five fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, our libraries instrumented for coverage) and runs
# each on its seed corpus for SECONDS (default 600), one job each, with a
# 10 s limit per input and 2 GiB of memory:
#   scripts/fuzz.sh [SECONDS] [--check]
# Prints per target the executions per second, the coverage counters at the
# start and the end, the corpus size and the findings (kept in
# build-fuzz/findings/TARGET/). With --check it runs two targets at a time and
# fails when a target finds anything or reaches fewer coverage counters than
# its floor in tests/fuzz/coverage-floors, so a target that goes blind fails;
# it then starts from a fixed seed, so that what it finds can be repeated.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
check=${2:-}
seed=()
[ "$check" = --check ] && seed=(-seed=1)
scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCHIPBOX_FUZZ=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=(tune register settings handover documents)
cmake --build build-fuzz -j "$(nproc)" --target test_tunes \
    $(printf 'chipbox-%s-fuzz ' "${targets[@]}") -- --no-print-directory >/dev/null

run_target() {
    local target=$1 corpus=build-fuzz/corpus/$1 findings=build-fuzz/findings/$1
    mkdir -p "$corpus" "$findings"
    cp -n tests/fuzz/seeds/"$target"/* tests/fuzz/regressions/"$target"/* "$corpus"/ 2>/dev/null || true
    [ "$target" = tune ] && cp -n build-fuzz/tests/tunes/*.sid "$corpus"/
    build-fuzz/tests/fuzz/chipbox-"$target"-fuzz -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 "${seed[@]}" -artifact_prefix="$findings"/ "$corpus" \
        >build-fuzz/"$target".log 2>&1 || true
}

report() {
    local target=$1 log=build-fuzz/$1.log
    local first last execs found floor
    first=$(grep -m1 -o 'INITED cov: [0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
    last=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || echo 0)
    execs=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
    found=$(find build-fuzz/findings/"$target" -type f | wc -l)
    floor=$(awk -v t="$target" '!/^#/ && $1 == t { print $2 }' tests/fuzz/coverage-floors)
    printf '%-9s %8s exec/s  coverage %5s -> %5s (floor %s)  corpus %5s  findings %s\n' \
        "$target" "$execs" "$first" "$last" "${floor:-none}" \
        "$(find build-fuzz/corpus/"$target" -type f | wc -l)" "$found"
    if [ "$check" = --check ] && { [ "$found" -gt 0 ] || [ "$last" -lt "${floor:-0}" ]; }; then
        echo "  fuzz target $target failed; its log: build-fuzz/$target.log" >&2
        return 1
    fi
}

if [ "$check" = --check ]; then
    for pair in "tune register" "settings handover" "documents"; do
        for target in $pair; do run_target "$target" & done
        wait
    done
else
    for target in "${targets[@]}"; do run_target "$target"; done
fi
status=0
for target in "${targets[@]}"; do report "$target" || status=1; done
exit "$status"
