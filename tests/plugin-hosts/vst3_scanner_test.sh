#!/usr/bin/env bash
# Usage: vst3_scanner_test.sh BUNDLE
#
# The built Qorv.vst3 through Ardour's own VST3 scanner, the program Ardour
# runs on every bundle it finds before it lists a plugin: the scan succeeds
# and the index it writes shows one plugin, "Qorv", an instrument with one
# MIDI input, one MIDI output and a stereo output.
set -euo pipefail
bundle=$1

# Debian keeps the scanner with Ardour's private libraries, off the PATH.
scanner=/usr/lib/ardour7/ardour-vst3-scanner
[ -x "$scanner" ] || { echo "FAIL: no $scanner (Debian's ardour package)"; exit 1; }

work=$(mktemp -d)
scanner_pid=
stop_all() {
    [ -z "$scanner_pid" ] || kill -KILL "$scanner_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap stop_all EXIT
trap 'exit 143' TERM INT HUP

# The index goes into a cache folder of its own.
LD_LIBRARY_PATH=/usr/lib/ardour7 XDG_CACHE_HOME=$work HOME=$work \
    "$scanner" --force --verbose "$bundle" >"$work/scan.log" 2>&1 &
scanner_pid=$!
status=0
wait "$scanner_pid" || status=$?
scanner_pid=
if [ "$status" -ne 0 ]; then
    cat "$work/scan.log"
    echo "FAIL: ardour-vst3-scanner refused $bundle (status $status)"
    exit 1
fi
grep -E 'Found Plugin|Class: |n_busses' "$work/scan.log" | sed 's/^\[Info\]: //'

index=$(find "$work" -name '*.v3i')
[ "$(wc -l <<<"$index")" -eq 1 ] && [ -n "$index" ] || { cat "$work/scan.log"; echo "FAIL: the scanner wrote no one index file"; exit 1; }
info=$(grep -o '<VST3Info [^>]*>' "$index")
[ "$(wc -l <<<"$info")" -eq 1 ] || { echo "FAIL: not one plugin in the index: $info"; exit 1; }

fail() { echo "FAIL: $*"; status=1; }
attribute() { sed -n "s/.* $1=\"\([^\"]*\)\".*/\1/p" <<<"$info"; }
for expected in name=Qorv n_midi_inputs=1 n_midi_outputs=1 n_inputs=0 n_outputs=2; do
    [ "$(attribute "${expected%%=*}")" = "${expected#*=}" ] || fail "${expected%%=*} is '$(attribute "${expected%%=*}")', not ${expected#*=}"
done
[[ "|$(attribute category)|" == *"|Instrument|"* ]] || fail "the category '$(attribute category)' is not an instrument"
echo "index: $info"

[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
