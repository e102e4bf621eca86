#!/usr/bin/env bash
# Usage: ardour_session_test.sh BUNDLE URI QORV_BINARY
#
# The LV2 plugin in a real DAW: Debian's Ardour 7, headless (ardour7-lua) on
# its dummy backend, makes a session with the plugin on a MIDI track, sets
# four of its parameters (two faders, two switches) from the host, saves and
# closes; a second Ardour opens the session again and saves it. The state the
# plugin saved the first time holds the patch with those values, and the
# reopened plugin saves the very same state: the patch, its stored version and
# the options came back whole. (Ardour 7.3 reads JUCE's LV2 parameters back as
# 0 after a reopen, so the plugin's own saved state is what is judged.) Then
# the session's state text is damaged as JUCE 7.0.5 would choke on (a negative
# byte count): Ardour opens the session all the same, and saves the damaged
# text back as it found it.
set -euo pipefail
bundle=$1
uri=$2
qorv=$3
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d)
ardour_pid=
stop_all() {
    if [ -n "$ardour_pid" ]; then
        # Ardour runs in a process group of its own, with any helper it starts.
        kill -TERM -- "-$ardour_pid" 2>/dev/null || true
        sleep 1
        kill -KILL -- "-$ardour_pid" 2>/dev/null || true
        wait "$ardour_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap stop_all EXIT
trap 'exit 143' TERM INT HUP

# Ardour's configuration, caches and plugin lists go to a home of its own.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
export LV2_PATH=$(dirname "$bundle")
export QORV_SESSION_DIR=$work/session QORV_SESSION_NAME=qorv-round-trip QORV_PLUGIN_URI=$uri
# In the parameters' own units: a fader's number, a choice's position as a share of its
# range (Range 4' is the last of three, Chorus I the middle one).
export QORV_SET="vcfFreq=64 vcfRes=100 range=1 chorus=0.5"

# Runs one step of ardour-session.lua; its output goes to $work/STEP.log.
ardour() {
    local step=$1
    QORV_STEP=$step setsid ardour7-lua "$here/ardour-session.lua" >"$work/$step.log" 2>&1 &
    ardour_pid=$!
    local status=0
    wait "$ardour_pid" || status=$?
    ardour_pid=
    if [ "$status" -ne 0 ] || ! grep -qx "qorv: saved" "$work/$step.log"; then
        cat "$work/$step.log"
        echo "FAIL: Ardour's $step step ended with status $status before saving the session"
        exit 1
    fi
    grep "^qorv: " "$work/$step.log" | sed "s/^qorv: /$step: /"
}

session_file=$QORV_SESSION_DIR/$QORV_SESSION_NAME.ardour
saved_state() { "$here/plugin_state.py" "$session_file" "$uri" "$@"; }

ardour create
first=$(saved_state "$work/patch.syx") || { echo "FAIL: Ardour saved no state Qorv can read"; exit 1; }
echo "$first"

status=0
fail() { echo "FAIL: $*"; status=1; }

# The patch the plugin saved holds the host's moves, read as the panel names them.
# (`qorv list --params` gives "VCF Freq 64, VCF Res 100, ..." a section a line.)
params=$("$qorv" list --params "$work/patch.syx" | sed 's/^ *//; s/, /\n/g')
for expected in "VCF Freq 64" "VCF Res 100" "Range 4'" "Chorus I"; do
    grep -qxF "$expected" <<<"$params" || fail "the saved patch lacks '$expected' after the host set it: $(tr '\n' ';' <<<"$params")"
done

ardour reopen
again=$(saved_state) || { echo "FAIL: the reopened session holds no state Qorv can read"; exit 1; }
if [ "$again" != "$first" ]; then
    diff <(echo "$first") <(echo "$again") || true
    fail "the reopened plugin saved another state than the one it was given"
else
    echo "reopened: the plugin saved the same state, field for field"
fi

# A byte count JUCE's own reader would allocate as given: the session must still open.
damaged="-1.ABCDEFGH"
{ read -r state_path; read -r _; } < <(saved_state --text)
sed -i -E "s|(StateString>[[:space:]]+)\"[^\"]*\"|\1\"$damaged\"|" "$state_path"
grep -qF "\"$damaged\"" "$state_path" || fail "could not damage $state_path"
ardour reopen
{ read -r _; read -r kept; } < <(saved_state --text)
[ "$kept" = "$damaged" ] || fail "the damaged state came back as '$kept', not as it was"
echo "damaged: Ardour opened the session and saved the state text as it found it"

[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
