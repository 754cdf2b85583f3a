#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Prints one checksum per rendered song, so that two builds can be compared
# sample for sample after a change to the engine:
#   scripts/render-checksums.sh BUILD_DIR [TUNE.sid...] > before.txt
# Without tunes it renders the demo, the test tunes and ../shared/tunes: every
# subsong for SECONDS (default 60) at 1x, and the start song at 2x and 4x.
set -euo pipefail
build=$1
shift
cli=$build/ui/chipbox-cli
seconds=${SECONDS_PER_SONG:-60}
top=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -eq 0 ]; then
    set -- "$build"/tunes/demo.sid "$build"/tests/tunes/*.sid
    [ -d "$top/../shared/tunes" ] && set -- "$@" "$top"/../shared/tunes/*.sid
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for tune in "$@"; do
    songs=$("$cli" --info "$tune" | sed -n 's/^Songs: *[0-9]* \/ \([0-9]*\).*/\1/p')
    for song in $(seq 1 "${songs:-1}"); do
        "$cli" -o "$out/x.wav" --seconds "$seconds" --song "$song" "$tune" >/dev/null 2>&1
        echo "$(md5sum < "$out/x.wav" | cut -c1-32) $(basename "$tune") song $song"
    done
    for speed in 2 4; do
        "$cli" -o "$out/x.wav" --seconds "$seconds" --speed "$speed" "$tune" >/dev/null 2>&1
        echo "$(md5sum < "$out/x.wav" | cut -c1-32) $(basename "$tune") speed $speed"
    done
done
