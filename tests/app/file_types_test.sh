#!/usr/bin/env bash
# Installs the built program into a fresh prefix, builds the MIME and desktop
# databases there as the system's triggers would (over the system's own
# freedesktop.org types, so Qorv's rules compete with the real ones), and asks
# what a GNOME desktop makes of Qorv's files: their type, the program that
# opens them, and their icon.
set -euo pipefail
build_dir=$1
file_format_header=$2

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build_dir" --prefix "$prefix" >/dev/null
share=$prefix/share

# Only the prefix counts; GNOME mode makes xdg-mime ask GIO, as the file manager does.
export XDG_DATA_HOME=$share XDG_DATA_DIRS=$share XDG_CONFIG_HOME=$prefix/config XDG_CONFIG_DIRS=$prefix/config
export XDG_CURRENT_DESKTOP=GNOME
cp /usr/share/mime/packages/freedesktop.org.xml "$share/mime/packages/"
update-mime-database "$share/mime"
update-desktop-database "$share/applications"

status=0
fail() { echo "FAIL: $*"; status=1; }

files=$prefix/files
mkdir "$files"
# The bytes every library starts with, as the file format writes them
# ("MAGIC{0x21, 0x71, ...}"), turned into a printf format.
magic=$(grep -o 'MAGIC{[^}]*}' "$file_format_header" | grep -o '0x[0-9A-Fa-f]*' | sed 's/^0/\\/' | tr -d '\n')
[ -n "$magic" ] || { echo "FAIL: no MAGIC in $file_format_header"; exit 1; }
# name | first bytes (printf format) | expected type
cases=(
    "Factory.106|${magic}\\001\\002\\003|application/x-qorv-library"
    "Factory.juno|${magic}\\001\\002\\003|application/x-qorv-library"
    "Factory|${magic}\\001\\002\\003|application/x-qorv-library"
    "Text.106|plain words|application/x-qorv-library"
    "Factory.juno|!qorv/\\001\\002\\003|application/octet-stream"
    "Factory|${magic%????}\\001\\002\\003|application/octet-stream"
    "Brass.syx|\\360\\101\\060\\000\\000\\040\\367|application/x-sysex"
    "BRASS.SYX|\\360\\101\\060\\000\\000\\040\\367|application/x-sysex"
    "Strings.jep|<?xml version=\"1.0\"?>\\n<preset><sysexData><data>AAAA</data></sysexData></preset>\\n|application/x-juno-editor-preset"
)
for c in "${cases[@]}"; do
    IFS='|' read -r name bytes expected <<<"$c"
    dir=$(mktemp -d -p "$files")
    # shellcheck disable=SC2059 # the bytes are a printf format on purpose
    printf "$bytes" >"$dir/$name"
    type=$(xdg-mime query filetype "$dir/$name")
    if [ "$type" = "$expected" ]; then
        echo "$name ($(od -An -c -N8 "$dir/$name" | tr -s ' ')): $type"
    else
        fail "$name is $type, expected $expected"
    fi
done

# Every type Qorv defines opens in Qorv and has an icon installed at both sizes.
for type in application/x-qorv-library application/x-sysex application/x-juno-editor-preset; do
    app=$(xdg-mime query default "$type" || true)
    [ "$app" = org.qorv.Qorv.desktop ] || fail "$type opens with '$app', not org.qorv.Qorv.desktop"
    icon=$(sed -n "s|^$type:||p" "$share/mime/icons")
    [ -n "$icon" ] || fail "$type has no icon"
    for size in 256x256 48x48; do
        [ -f "$share/icons/hicolor/$size/mimetypes/$icon.png" ] || fail "$type's icon '$icon' is missing at $size"
    done
    echo "$type: opens with $app, icon $icon"
done

[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
