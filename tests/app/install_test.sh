#!/usr/bin/env bash
# Installs the built program into a fresh prefix and checks that exactly the
# listed files land there: the binary, the desktop entry, the file types, the
# AppStream description and every icon at the size its folder promises.
set -euo pipefail
build_dir=$1
file_list=$2

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build_dir" --prefix "$prefix" >/dev/null

status=0
fail() { echo "FAIL: $*"; status=1; }

expected=$(grep -v '^#' "$file_list" | sort)
installed=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
if [ "$installed" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$installed") | sed -n 's/^< /missing: /p; s/^> /unexpected: /p' || true
    fail "the installed files differ from $file_list"
    exit 1
fi
echo "installed: $(echo "$installed" | wc -l) files"

# An installed file, and what its first bytes say it is.
magic() { od -An -tx1 -N4 "$prefix/$1" | tr -d ' \n'; }
png_size() { printf '%d x %d' "0x$(od -An -tx1 -j16 -N4 "$prefix/$1" | tr -d ' \n')" \
    "0x$(od -An -tx1 -j20 -N4 "$prefix/$1" | tr -d ' \n')"; }

[ "$(magic bin/qorv)" = 7f454c46 ] || fail "bin/qorv is not an ELF binary"
[ -x "$prefix/bin/qorv" ] || fail "bin/qorv is not executable"
for icon in $(grep '^share/icons/hicolor/' <<<"$expected"); do
    size=$(cut -d/ -f4 <<<"$icon" | sed 's/x/ x /')
    [ "$(magic "$icon")" = 89504e47 ] || fail "$icon is not a PNG"
    [ "$(png_size "$icon")" = "$size" ] || fail "$icon is $(png_size "$icon"), not $size"
done

# The entry starts the installed binary with the chosen files and shows its icon.
entry=$prefix/share/applications/org.qorv.Qorv.desktop
grep -qx 'Exec=qorv %F' "$entry" || fail "the entry does not start qorv with the files it is given"
icon=$(sed -n 's/^Icon=//p' "$entry")
for size in 256x256 48x48; do
    [ -f "$prefix/share/icons/hicolor/$size/apps/$icon.png" ] || fail "the entry's icon '$icon' is not installed at $size"
done

[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
