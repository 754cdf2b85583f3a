#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the Debian package from the build tree, checks its files, its
# dependencies and lintian's verdict, installs it into a root of its own,
# runs the terminal player from there and removes it again:
#   check_package.sh BUILD_DIR TUNE.sid
set -euo pipefail
build=$1 tune=$2
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

package=$("$top/scripts/package.sh" "$build" "$work")
[ -f "$package" ] || fail "no package built"
files=$(dpkg-deb -c "$package")
for expected in ./usr/bin/chipbox ./usr/bin/chipbox-cli ./usr/share/man/man1/chipbox.1.gz \
    ./usr/share/man/man1/chipbox-cli.1.gz ./usr/share/applications/chipbox.desktop \
    ./usr/share/metainfo/io.github.chipbox.Chipbox.metainfo.xml \
    ./usr/share/icons/hicolor/48x48/apps/chipbox.png \
    ./usr/share/bash-completion/completions/chipbox-cli ./usr/share/doc/chipbox/copyright; do
    grep -q " $expected\$" <<<"$files" || fail "$expected is not in the package"
done
depends=$(dpkg-deb -f "$package" Depends)
grep -q libqt6widgets6 <<<"$depends" || fail "Depends lacks Qt: $depends"
grep -q libsndfile1 <<<"$depends" || fail "Depends lacks libsndfile: $depends"
if grep -qi hardsid <<<"$depends"; then fail "the HardSID library is a dependency: $depends"; fi

if command -v lintian >/dev/null; then
    verdict=$(lintian "$package" 2>&1 || true)
    if grep -q '^E:' <<<"$verdict"; then fail "lintian: $verdict"; fi
fi

# A root of its own with an empty package database; the libraries are the
# host's, which the package's dependencies name.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg_root() { dpkg --root="$root" --force-depends --force-script-chrootless --no-triggers "$@"; }
dpkg_root -i "$package" >/dev/null
"$root/usr/bin/chipbox-cli" --version | grep -q "Chipbox v" || fail "the installed chipbox-cli does not run"
"$root/usr/bin/chipbox-cli" --info "$tune" | grep -q "^Name:" || fail "--info shows no tune"
dpkg_root --purge chipbox >/dev/null
left=$( (find "$root/usr" -type f 2>/dev/null || true) | wc -l)
[ "$left" -eq 0 ] || fail "$left files left after removal"
echo "package installs, runs and removes cleanly"
