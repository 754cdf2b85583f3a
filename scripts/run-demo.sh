#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs what is missing, builds Chipbox and plays the bundled demo tune:
# in the window when there is a display, else on the terminal until Ctrl-C.
# Without a sound card it renders the demo into demo.wav instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
status=0
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    build/ui/chipbox build/tunes/demo.sid || status=$?
else
    build/ui/chipbox-cli build/tunes/demo.sid "$@" || status=$?
fi
if [ "$status" -eq 3 ]; then
    echo "No sound card could be opened: rendering the demo into demo.wav instead."
    build/ui/chipbox-cli -o demo.wav build/tunes/demo.sid "$@"
    echo "Wrote $(pwd)/demo.wav"
    exit 0
fi
exit "$status"
