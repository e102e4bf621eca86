#!/usr/bin/env bash
# Installs the built program into a fresh prefix and checks that the binary,
# the desktop entry and both icons land where a Linux desktop looks for them.
set -euo pipefail
build_dir=$1

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build_dir" --prefix "$prefix" >/dev/null

status=0
fail() { echo "FAIL: $*"; status=1; }

# An installed file, and what its first bytes say it is.
magic() { od -An -tx1 -N4 "$prefix/$1" | tr -d ' \n'; }
png_size() { printf '%d x %d' "0x$(od -An -tx1 -j16 -N4 "$prefix/$1" | tr -d ' \n')" \
    "0x$(od -An -tx1 -j20 -N4 "$prefix/$1" | tr -d ' \n')"; }

for f in bin/qorv share/applications/qorv.desktop \
    share/icons/hicolor/256x256/apps/qorv.png share/icons/hicolor/48x48/apps/qorv.png; do
    [ -f "$prefix/$f" ] && echo "installed: $f" || fail "$f was not installed"
done
[ "$status" -eq 0 ] || exit 1

[ "$(magic bin/qorv)" = 7f454c46 ] || fail "bin/qorv is not an ELF binary"
for size in 256 48; do
    icon=share/icons/hicolor/${size}x${size}/apps/qorv.png
    [ "$(magic "$icon")" = 89504e47 ] || fail "$icon is not a PNG"
    [ "$(png_size "$icon")" = "$size x $size" ] || fail "$icon is $(png_size "$icon"), not $size x $size"
done
[ -x "$prefix/bin/qorv" ] || fail "bin/qorv is not executable"
grep -qx 'Exec=qorv' "$prefix/share/applications/qorv.desktop" || fail "the entry does not start qorv"
grep -qx 'Icon=qorv' "$prefix/share/applications/qorv.desktop" || fail "the entry does not name the icon"

[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
