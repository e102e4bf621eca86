#!/usr/bin/env bash
# Usage: installed_plugins_test.sh BUILD_DIR URI
#
# The plugins as the Debian package installs them, found by the hosts with
# nothing set: builds the package with cpack, then, in the small virtual
# machine (tools/alsa-vm, whose writes to / vanish when it stops), puts the
# package's files in place and checks that lilv and Ardour find the LV2 plugin
# on their own default paths (Ardour makes a session with it), and that
# Ardour's VST3 scanner takes the VST3 where Ardour's default path looks for
# it (~/.vst3, /usr/local/lib/vst3, /usr/lib/vst3).
#
# The files are unpacked with dpkg-deb rather than installed with dpkg -i:
# under the machine's emulated processor dpkg takes minutes to read its
# database, and the package's relations and contents are checked by
# tests/app/package_test.sh.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" = --in-vm ]; then
    deb=$2
    uri=$3
    status=0
    fail() { echo "FAIL: $*"; status=1; }
    export HOME=$(mktemp -d)
    export XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache
    unset LV2_PATH VST3_PATH

    dpkg-deb -x "$deb" /
    bundle=$(lv2info "$uri" | sed -n 's/^\tBundle: *//p' | head -n 1)
    [ "$bundle" = file:///usr/lib/lv2/Qorv.lv2/ ] || fail "lilv finds the LV2 plugin at '$bundle', not in /usr/lib/lv2"
    echo "lilv finds $uri in $bundle"

    if QORV_STEP=create QORV_SESSION_DIR=$HOME/session QORV_SESSION_NAME=installed QORV_PLUGIN_URI=$uri QORV_SET= \
        ardour7-lua "$here/ardour-session.lua" >"$HOME/ardour.log" 2>&1 &&
        grep -qx 'qorv: saved' "$HOME/ardour.log"; then
        grep '^qorv: ' "$HOME/ardour.log" | sed 's/^qorv: /Ardour: /'
    else
        cat "$HOME/ardour.log"
        fail "Ardour did not find the installed LV2 plugin and save a session with it"
    fi

    "$here/vst3_scanner_test.sh" /usr/lib/vst3/Qorv.vst3 || fail "Ardour's scanner refuses the installed VST3"
    exit "$status"
fi

build_dir=$1
uri=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
trap 'exit 143' TERM INT HUP
cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 || {
    cat "$out/cpack.log"
    echo "FAIL: cpack could not build the package"
    exit 1
}
deb=$(find "$out" -maxdepth 1 -name 'qorv_*.deb')
[ -n "$deb" ] || { echo "FAIL: cpack made no qorv_*.deb"; exit 1; }

# The machine ends its processes when it stops, whatever the test did.
status=0
"$here/../../tools/alsa-vm/alsa-vm" run --virmidi 0 --timeout 600 -- "$here/installed_plugins_test.sh" --in-vm "$deb" "$uri" ||
    status=$?
if [ "$status" -ne 0 ]; then
    echo "FAIL: the installed plugins were not found and loaded (status $status)"
    exit 1
fi
echo "PASS"
