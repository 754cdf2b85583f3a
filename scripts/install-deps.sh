#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the Debian packages Chipbox needs to build and test, and only those
# that are missing. Quiet when everything is already there.
set -euo pipefail

packages=(cmake g++ make acme libgtest-dev libsdl2-dev
    # Song lengths are looked up by the MD5 of the tune file.
    pkgconf nettle-dev
    # Renders into FLAC, Ogg Vorbis and Opus files.
    libsndfile1-dev libopusenc-dev
    # The Debian package: its library dependencies, its checker, and the
    # checker of its AppStream data.
    dpkg-dev lintian appstream
    # The fuzz targets: clang with libFuzzer.
    clang libclang-rt-14-dev
    # The window: Qt Widgets with its X11 platform (in libqt6gui6) and the
    # Wayland one, the font its tests lay text out in, the session bus its
    # media-control tests run on, and the desktop entry's checker.
    qt6-base-dev libqt6gui6 qt6-wayland fonts-dejavu-core dbus-daemon desktop-file-utils
    # The sound-server test: a PulseAudio server with its recorder, and an X
    # server with a driver of its keys for the window.
    pulseaudio pulseaudio-utils xvfb xdotool)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
