#!/usr/bin/env bash
# Installs the built program into a fresh prefix and checks that exactly the
# listed files land there: the binary, the desktop entry, the file types, the
# AppStream description, every icon at the size its folder promises, the
# manual page and the changelog compressed, and the two plugins in the folders
# the hosts search under a prefix (lib/lv2, lib/vst3), each a whole bundle.
set -euo pipefail
build_dir=$1
file_list=$2
source_dir=$3

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build_dir" --prefix "$prefix" >/dev/null

status=0
fail() { echo "FAIL: $*"; status=1; }

expected=$(grep -v '^#' "$file_list" | sed "s/{ARCH}/$(uname -m)/" | sort)
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

# The compressed files are gzip without a name or a time (the same sources make
# the same bytes), and read back as their sources.
# The header: the magic, deflate, no flags (so no name), a zero time.
for gz in share/man/man1/qorv.1.gz share/doc/qorv/changelog.gz; do
    [ "$(od -An -tx1 -N8 "$prefix/$gz" | tr -d ' \n')" = 1f8b080000000000 ] ||
        fail "$gz is not gzip without a name and a time (gzip -n)"
done
zcat "$prefix/share/man/man1/qorv.1.gz" | cmp -s - "$source_dir/resources/man/qorv.1" || fail "the installed manual page differs from the source"
zcat "$prefix/share/doc/qorv/changelog.gz" | cmp -s - "$source_dir/resources/debian/changelog" || fail "the installed changelog differs from the source"

# Each plugin binary is a shared object for this machine, and the LV2 bundle's
# manifest names the binary beside it.
for plugin in lib/lv2/Qorv.lv2/libQorv.so "lib/vst3/Qorv.vst3/Contents/$(uname -m)-linux/Qorv.so"; do
    readelf -h "$prefix/$plugin" 2>/dev/null | grep -q 'Type: *DYN' || fail "$plugin is not a shared object"
done
grep -q 'lv2:binary <libQorv.so>' "$prefix/lib/lv2/Qorv.lv2/manifest.ttl" || fail "the LV2 manifest does not name libQorv.so"

# The entry starts the installed binary with the chosen files and shows its icon.
entry=$prefix/share/applications/org.qorv.Qorv.desktop
grep -qx 'Exec=qorv %F' "$entry" || fail "the entry does not start qorv with the files it is given"
icon=$(sed -n 's/^Icon=//p' "$entry")
for size in 256x256 48x48; do
    [ -f "$prefix/share/icons/hicolor/$size/apps/$icon.png" ] || fail "the entry's icon '$icon' is not installed at $size"
done

[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
