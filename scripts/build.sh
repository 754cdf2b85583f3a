#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Configures and builds one build tree:
#   scripts/build.sh DIR [cmake options...]
# BUILD_TARGETS, when set, builds only those targets (separated by blanks).
set -euo pipefail
dir=$1
shift
cmake -S "$(dirname "$0")/.." -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)" ${BUILD_TARGETS:+--target $BUILD_TARGETS} -- --no-print-directory >/dev/null
