#!/usr/bin/env bash
# Builds the Debian package with cpack into a temporary folder and checks its
# name and control fields, that it depends on the package of every library
# the program and the two plugins link or open at run time (and on zenity for
# the file dialogs), that it holds exactly the listed files, owned by root,
# with the desktop files as they stand in the source tree, the plugins
# stripped in /usr/lib/lv2 and /usr/lib/vst3, a machine-readable copyright
# file and a changelog for this version, and that lintian finds no error in it.
set -euo pipefail
build_dir=$1
version=$2
file_list=$3
source_dir=$4

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 || {
    cat "$out/cpack.log"
    echo "FAIL: cpack could not build the package"
    exit 1
}

status=0
fail() { echo "FAIL: $*"; status=1; }

deb=$out/qorv_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { echo "FAIL: no $(basename "$deb") in: $(ls "$out")"; exit 1; }
dpkg-deb -I "$deb"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = qorv ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(field Section)" = sound ] || fail "Section is '$(field Section)', not sound"
[ -n "$(field Description | sed -n 2p)" ] || fail "the description has no body"

# Package names a relation field lists, one a line, without versions.
names() { field "$1" | tr ',|' '\n\n' | sed 's/(.*)//; s/^ *//; s/ *$//' | sed '/^$/d'; }
declares() { names Depends | grep -qx "$1"; }
[ "$(field Depends | grep -o 'libasound2 ([^)]*)')" ] || fail "no versioned libasound2 dependency: the libraries were not computed"
# The previews: Vorbis files and loudness by EBU R128.
for p in zenity libasound2 libfreetype6 libvorbisenc2 libvorbisfile3 libebur128-1; do
    declares "$p" || fail "Depends lacks $p"
done

root=$out/root
dpkg-deb -x "$deb" "$root"
binary=$root/usr/bin/qorv
lv2_binary=$root/usr/lib/lv2/Qorv.lv2/libQorv.so
vst3_binary=$root/usr/lib/vst3/Qorv.vst3/Contents/$(uname -m)-linux/Qorv.so

# Every library a binary names, linked (NEEDED) or opened with dlopen (a
# string in the binary), must come with the package that holds it; the linked
# ones as hard dependencies. JUCE's screen-saver control is never used.
unused_dlopen='libXss.so.1'
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for elf in "$binary" "$lv2_binary" "$vst3_binary"; do
    [ -f "$elf" ] || { fail "no ${elf#"$root"} in the package"; continue; }
    linked=$(readelf -d "$elf" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
    [ -n "$linked" ] || fail "${elf#"$root"} links no libraries"
    for lib in $(strings "$elf" | grep -E '^lib[A-Za-z0-9_+-]+\.so(\.[0-9]+)+$' | sort -u); do
        grep -qx "$lib" <<<"$unused_dlopen" && continue
        owner=$(dpkg -S "*/$multiarch/$lib" 2>/dev/null | grep -v '^diversion' | cut -d: -f1 | sort -u) || true
        if [ -z "$owner" ] || [ "$(wc -l <<<"$owner")" -ne 1 ]; then
            fail "not one installed package holds $multiarch/$lib: '$owner'"
        elif grep -qx "$lib" <<<"$linked"; then
            declares "$owner" && echo "${elf##*/} links $lib: $owner" || fail "Depends lacks $owner (for $lib)"
        elif declares "$owner" || names Recommends | grep -qx "$owner"; then
            echo "${elf##*/} opens $lib: $owner"
        else
            fail "neither Depends nor Recommends names $owner (${elf##*/} opens $lib)"
        fi
    done
    # A stripped binary keeps no symbol table (the package's are a tenth the build's size).
    readelf -S "$elf" | grep -q '\.symtab' && fail "${elf#"$root"} is not stripped"
done

# Exactly the listed files, under /usr, owned by root.
contents=$(dpkg-deb -c "$deb")
expected=$(grep -v '^#' "$file_list" | sed "s|{ARCH}|$(uname -m)|; s|^|./usr/|" | sort)
packaged=$(grep -v '^d' <<<"$contents" | awk '{print $6}' | sort)
if [ "$packaged" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$packaged") | sed -n 's/^< /missing: /p; s/^> /unexpected: /p' || true
    fail "the packaged files differ from $file_list"
fi
owners=$(awk '{print $2}' <<<"$contents" | sort -u)
[ "$owners" = root/root ] || fail "files are owned by $owners, not root/root"
grep -q '^-rwxr-xr-x .* \./usr/bin/qorv$' <<<"$contents" || fail "usr/bin/qorv is not executable"
for f in applications/org.qorv.Qorv.desktop mime/packages/org.qorv.Qorv.xml metainfo/org.qorv.Qorv.metainfo.xml; do
    cmp -s "$root/usr/share/$f" "$source_dir/resources/desktop/$(basename "$f")" || fail "usr/share/$f differs from the source"
done

# The copyright file in Debian's machine-readable form, the whole under the
# GPL 3 or later; the changelog's newest entry is this version.
doc=$root/usr/share/doc/qorv
head -n 1 "$doc/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "the copyright file is not in the machine-readable format"
awk 'BEGIN { RS = "" } /^Files: \*\n/' "$doc/copyright" | grep -qx 'License: GPL-3+' ||
    fail "the copyright file does not put the whole (Files: *) under GPL-3+"
changelog_version=$(zcat "$doc/changelog.gz" | dpkg-parsechangelog -l - -S Version 2>&1) || true
[ "$changelog_version" = "$version" ] || fail "the changelog's newest entry is '$changelog_version', not $version"

# lintian: no error. Its warnings and notes are shown, and left to judgement.
lintian_report=$(lintian --display-level '>=pedantic' "$deb" 2>&1 | grep -v '^running with root privileges' || true)
echo "lintian: $(grep -c '^E:' <<<"$lintian_report") errors, $(grep -c '^W:' <<<"$lintian_report") warnings, $(grep -c '^[IP]:' <<<"$lintian_report") notes"
[ -z "$lintian_report" ] || echo "$lintian_report"
grep -q '^E:' <<<"$lintian_report" && fail "lintian finds errors in the package"

[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
