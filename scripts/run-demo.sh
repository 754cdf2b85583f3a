#!/usr/bin/env bash
# Installs what is missing, builds Chipbox and plays the bundled demo tune
# until Ctrl-C. Without a sound card it renders the demo into demo.wav instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
status=0
build/ui/chipbox-cli build/tunes/demo.sid "$@" || status=$?
if [ "$status" -eq 3 ]; then
    echo "No sound card could be opened: rendering the demo into demo.wav instead."
    build/ui/chipbox-cli -o demo.wav build/tunes/demo.sid
    echo "Wrote $(pwd)/demo.wav"
    exit 0
fi
exit "$status"
