#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Renders chipbox.svg into the PNG sizes the desktop and the window use.
# Run after changing the drawing (needs rsvg-convert, package librsvg2-bin);
# the PNGs are committed.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" -o "icons/chipbox-${size}.png" chipbox.svg
done
