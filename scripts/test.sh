#!/usr/bin/env bash
# Installs what is missing, builds Chipbox and runs every test: once in a
# release build, once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

run_tests() {
    local dir=$1
    shift
    echo "== Building $dir"
    scripts/build.sh "$dir" "$@"
    echo "== Testing $dir"
    ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
}

run_tests build
run_tests build-sanitize -DCHIPBOX_SANITIZE=ON
