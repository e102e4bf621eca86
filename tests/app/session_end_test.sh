#!/usr/bin/env bash
# Run on a virtual X server of its own (DISPLAY): the session ends under Qorv
# (SIGTERM, as a shutdown sends it; SIGHUP, as a logout does) while its
# library has unsaved changes. The changes must be kept beside the settings,
# never over the library's own file, the settings written, and the next start
# must offer them back: Recover brings the library back, marked modified
# under its own name, and saving it writes exactly the library that was lost.
set -euo pipefail
qorv=$1
wait_for_window=$(cd "$(dirname "$0")/../support" && pwd)/wait-for-window.sh

work=$(mktemp -d)
export XDG_CONFIG_HOME=$work/config
trap 'rm -rf "$work"' EXIT
config=$XDG_CONFIG_HOME/org.qorv.Qorv
cd "$work"

dump() { # a patch dump whose first byte (LFO rate) is $1
    printf '\xf0\x41\x30\x00\x00'"\\x$1"'\x20\x10\x08\x00\x60\x00\x00\x00\x00\x7f\x00\x00\x00\x00\x00\x2a\x19\xf7'
}
dump 40 >"Warm Pad.syx"
dump 11 >"Extra.syx"
"$qorv" convert "Warm Pad.syx" -o "My Bank.106" >/dev/null
cp "My Bank.106" original.106
cp "My Bank.106" expected.106
"$qorv" convert Extra.syx -o expected.106 >/dev/null # what the session holds once Extra.syx is in

# Prints the title of Qorv's window once it is `title` (up to 30 s), or what it is then.
wait_for_title() {
    local wanted=$1 window shown=""
    for _ in $(seq 1 300); do
        window=$(xdotool search --onlyvisible --name '^qorv' 2>/dev/null | head -n 1 || true)
        shown=$([ -n "$window" ] && xdotool getwindowname "$window" 2>/dev/null || true)
        [ "$shown" = "$wanted" ] && break
        sleep 0.1
    done
    echo "$shown"
}

wait_for_exit() {
    for _ in $(seq 1 300); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
}

status=0
fail() { echo "FAIL: $*"; status=1; }

for signal in TERM HUP; do
    echo "--- SIG$signal"
    "$qorv" "My Bank.106" Extra.syx 2>>"$work/stderr" &
    pid=$!
    title=$(wait_for_title "qorv - My Bank *")
    [ "$title" = "qorv - My Bank *" ] || fail "before SIG$signal the title is '$title'"
    kill "-$signal" "$pid"
    wait_for_exit "$pid"
    if kill -0 "$pid" 2>/dev/null; then
        fail "SIG$signal did not end the program"
        kill -KILL "$pid"
    fi
    set +e
    wait "$pid"
    code=$?
    set -e
    echo "exit status after SIG$signal: $code"
    [ "$code" -eq 0 ] || fail "exit status $code after SIG$signal"
    cmp -s "My Bank.106" original.106 || fail "the library's own file was written over"
    cmp -s "$config/recovery.106" expected.106 || fail "the changes were not kept byte for byte in recovery.106"
    grep -q 'name="ACTIVE_PATCH"' "$config/qorv.cfg" 2>/dev/null || fail "the settings were not written"
    [ "$signal" = HUP ] || rm "$config/recovery.106" "$config/recovery.106.file" # the next round starts afresh
done

# The next start asks; Return recovers.
"$qorv" 2>>"$work/stderr" &
pid=$!
question=$("$wait_for_window" '^Recover')
if [ -z "$question" ]; then
    fail "no question about the kept changes"
else
    echo "asked: '$(xdotool getwindowname "$question")'"
    [ "$(xdotool getwindowname "$question")" = 'Recover unsaved changes to "My Bank"?' ] || fail "the question is not the one expected"
    xdotool windowfocus --sync "$question" key --clearmodifiers Return
fi
title=$(wait_for_title "qorv - My Bank *")
echo "after Recover: '$title'"
[ "$title" = "qorv - My Bank *" ] || fail "the recovered library is not shown modified under its own name"
[ ! -e "$config/recovery.106" ] || fail "the kept changes are still there once recovered"

# Quitting asks to save; Return saves, and the file is the library that was lost.
window=$("$wait_for_window")
xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+q
saving=$("$wait_for_window" '^Save changes')
[ -n "$saving" ] && xdotool windowfocus --sync "$saving" key --clearmodifiers Return
wait_for_exit "$pid"
kill -KILL "$pid" 2>/dev/null && fail "the program did not quit"
cmp -s "My Bank.106" expected.106 || { fail "the saved library is not the one that was lost:"; "$qorv" list "My Bank.106"; }

if [ -s "$work/stderr" ]; then
    echo "FAIL: the program wrote to stderr:"
    cat "$work/stderr"
    status=1
fi
[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
