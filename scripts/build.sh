#!/usr/bin/env bash
# Configures and builds one build tree:
#   scripts/build.sh DIR [cmake options...]
# BUILD_TARGET, when set, builds only that target.
set -euo pipefail
dir=$1
shift
cmake -S "$(dirname "$0")/.." -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)" ${BUILD_TARGET:+--target "$BUILD_TARGET"} -- --no-print-directory >/dev/null
