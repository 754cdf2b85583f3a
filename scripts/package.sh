#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the Debian package chipbox_VERSION_ARCH.deb from a release build:
#   scripts/package.sh [BUILD_DIR [OUTPUT_DIR]]   (default: build, and the build dir)
# The files are those `cmake --install` lays out under /usr, with the man
# pages compressed and the copyright and changelog where Debian keeps them;
# the library dependencies are computed by dpkg-shlibdeps from the programs.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$top/build}")
out=$(realpath "${2:-$build}")
[ -x "$build/ui/chipbox-cli" ] || "$top/scripts/build.sh" "$build"
version=$(sed -n 's/^project(chipbox VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
arch=$(dpkg --print-architecture)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null

strip --strip-unneeded --remove-section=.comment --remove-section=.note "$root"/usr/bin/*
gzip -9n "$root"/usr/share/man/man1/*.1
doc=$root/usr/share/doc/chipbox
rm "$doc/LICENSE"  # Debian points to its own copy of the GPL
cat > "$doc/copyright" <<COPYRIGHT
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: chipbox

Files: *
Copyright: 2026 The Chipbox Developers
License: GPL-2.0-or-later
 This program is free software; you can redistribute it and/or modify it
 under the terms of the GNU General Public License as published by the Free
 Software Foundation; either version 2 of the License, or (at your option)
 any later version.
 .
 On Debian systems, the full text of the GNU General Public License version 2
 can be found in the file /usr/share/common-licenses/GPL-2.
COPYRIGHT
printf 'chipbox (%s) unstable; urgency=medium\n\n  * Release %s.\n\n -- The Chipbox Developers <chipbox@example.org>  %s\n' \
    "$version" "$version" "$(date -R -d 2026-12-08)" | gzip -9n > "$doc/changelog.gz"
chmod -R u=rwX,go=rX "$root"

# dpkg-shlibdeps reads the package's name from a control file of its own.
mkdir -p "$work/debian"
printf 'Source: chipbox\n\nPackage: chipbox\nArchitecture: any\n' > "$work/debian/control"
depends=$(cd "$work" && dpkg-shlibdeps -O root/usr/bin/chipbox root/usr/bin/chipbox-cli 2>/dev/null |
    sed -n 's/^shlibs:Depends=//p')

mkdir "$root/DEBIAN"
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$root/DEBIAN/md5sums"
cat > "$root/DEBIAN/control" <<CONTROL
Package: chipbox
Version: $version
Architecture: $arch
Maintainer: The Chipbox Developers <chipbox@example.org>
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $depends
Recommends: libsdl2-2.0-0
Section: sound
Priority: optional
Homepage: https://github.com/chipbox/chipbox
Description: player for Commodore 64 SID music
 Chipbox plays PSID and RSID tunes of the Commodore 64: it runs their 6502
 code on an emulated processor and renders the SID sound chip in software,
 or on a HardSID card. Tunes that need a whole C64 play on an emulated
 machine with the MOS 6581 or 8580 SID, in stereo for two or three SIDs.
 The terminal player renders songs into WAV, FLAC, Opus and Ogg Vorbis files.
CONTROL
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"
package=$out/chipbox_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$package" >/dev/null
echo "$package"
