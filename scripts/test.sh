#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs what is missing, builds Chipbox and runs every test: once in a
# release build, once under AddressSanitizer and UndefinedBehaviorSanitizer,
# the threaded playback tests once more under ThreadSanitizer, and each fuzz
# target for a minute on its seeds (it fails on any finding, or when a target
# reaches fewer coverage counters than its floor).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

run_tests() {
    local dir=$1 label=$2
    shift 2
    echo "== Building $dir"
    scripts/build.sh "$dir" "$@"
    echo "== Testing $dir"
    ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" ${label:+-L "$label"}
}

run_tests build ""
run_tests build-sanitize "" -DCHIPBOX_SANITIZE=ON
BUILD_TARGETS="playback_tests hardsid_tests" run_tests build-thread-sanitize threaded \
    -DCHIPBOX_THREAD_SANITIZE=ON
echo "== Fuzzing each target for 60 s"
scripts/fuzz.sh 60 --check
