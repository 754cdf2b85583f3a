#!/usr/bin/env bash
# Installs what is missing, builds Chipbox and plays the bundled demo tune.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
exec build/ui/chipbox-cli build/tunes/demo.sid "$@"
