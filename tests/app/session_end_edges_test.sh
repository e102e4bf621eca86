#!/usr/bin/env bash
# Usage: session_end_edges_test.sh QORV HANG_KEPT_WRITES_LIBRARY
# Run on a virtual X server of its own (DISPLAY). The ends of a session that
# are not a plain signal:
#  - the window is stuck keeping the work (a hung home folder): a second
#    signal ends it at once;
#  - the X server goes away: the work is kept and the settings written, as a
#    signal ending the session keeps them, and the program ends with status 0;
#  - the settings file is a symbolic link (dotfiles): it stays one, and the
#    settings are written where it leads.
set -euo pipefail
qorv=$1
hang_library=$2
support=$(cd "$(dirname "$0")/../support" && pwd)

work=$(mktemp -d)
server=""
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

dump() { # a patch dump whose first byte (LFO rate) is $1
    printf '\xf0\x41\x30\x00\x00'"\\x$1"'\x20\x10\x08\x00\x60\x00\x00\x00\x00\x7f\x00\x00\x00\x00\x00\x2a\x19\xf7'
}
dump 40 >"Warm Pad.syx"
dump 11 >"Extra.syx"
"$qorv" convert "Warm Pad.syx" -o "My Bank.106" >/dev/null
cp "My Bank.106" original.106

status=0
fail() { echo "FAIL: $*"; status=1; }

# Waits until Qorv's window is titled `title` (up to 30 s); true when it is.
wait_for_title() {
    local window
    for _ in $(seq 1 300); do
        window=$(xdotool search --onlyvisible --name '^qorv' 2>/dev/null | head -n 1 || true)
        [ -n "$window" ] && [ "$(xdotool getwindowname "$window" 2>/dev/null)" = "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

# Waits up to $2 tenths of a second for process $1 to end; true when it has.
ended_within() {
    for _ in $(seq 1 "$2"); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
    ! kill -0 "$1" 2>/dev/null
}

echo "--- a second signal while the work is being kept"
export XDG_CONFIG_HOME=$work/stuck
LD_PRELOAD=$hang_library "$qorv" "My Bank.106" Extra.syx 2>"$work/stuck.err" &
pid=$!
if ! wait_for_title "qorv - My Bank *"; then
    # Say what became of the program, for whoever reads the failure.
    fail "the window never showed the changed library"
    if kill -0 "$pid" 2>/dev/null; then
        echo "the program is still running; its windows: $(xdotool search --name . getwindowname %@ 2>/dev/null | tr '\n' '|')"
    else
        set +e
        wait "$pid"
        echo "the program ended with status $?"
        set -e
    fi
    echo "its standard error:"
    cat "$work/stuck.err"
    exit 1
fi
kill -TERM "$pid"
sleep 2
kill -0 "$pid" 2>/dev/null || fail "the hung write did not hold the program: nothing is tested"
kill -TERM "$pid"
if ended_within "$pid" 50; then
    set +e
    wait "$pid"
    code=$?
    set -e
    echo "exit status after the second SIGTERM: $code"
    [ "$code" -eq 143 ] || fail "ended with status $code, not as SIGTERM ends a program (143)"
else
    fail "a second SIGTERM did not end the stuck program"
    kill -KILL "$pid"
fi
cmp -s "My Bank.106" original.106 || fail "the library's own file was written"

echo "--- the X server goes away"
export XDG_CONFIG_HOME=$work/display
number_file=$work/display-number
Xvfb -displayfd 3 -nolisten tcp -screen 0 1600x1000x24 3>"$number_file" 2>/dev/null &
server=$!
for _ in $(seq 1 200); do
    [ -s "$number_file" ] && break
    sleep 0.05
done
(
    export DISPLAY=":$(head -n 1 "$number_file")"
    "$qorv" "My Bank.106" Extra.syx 2>/dev/null &
    echo $! >"$work/pid"
    wait_for_title "qorv - My Bank *" || echo "FAIL: the window never showed the changed library"
    wait
    echo $? >"$work/code"
) &
subshell=$!
for _ in $(seq 1 300); do
    [ -s "$work/pid" ] && break
    sleep 0.1
done
sleep 3 # the window is up and idle
kill "$server"
wait "$server" 2>/dev/null || true
server=""
wait "$subshell" || true
code=$(cat "$work/code" 2>/dev/null || echo none)
echo "exit status after the server went: $code"
[ "$code" = 0 ] || fail "ended with status $code, not 0"
config=$XDG_CONFIG_HOME/org.qorv.Qorv
[ -f "$config/recovery.106" ] || fail "the unsaved changes were not kept"
[ "$("$qorv" list "$config/recovery.106" 2>/dev/null | grep -c 'Extra')" -ge 1 ] ||
    fail "the kept library is not the changed one"
grep -q 'name="LAST_LIBRARY"' "$config/qorv.cfg" 2>/dev/null || fail "the settings were not written"
cmp -s "My Bank.106" original.106 || fail "the library's own file was written"

echo "--- the settings file is a symbolic link"
export XDG_CONFIG_HOME=$work/linked
mkdir -p "$XDG_CONFIG_HOME/org.qorv.Qorv" dotfiles
: >dotfiles/qorv.cfg
ln -s ../../dotfiles/qorv.cfg "$XDG_CONFIG_HOME/org.qorv.Qorv/qorv.cfg"
"$qorv" "My Bank.106" 2>/dev/null &
pid=$!
wait_for_title "qorv - My Bank" || fail "the window never showed the library"
window=$("$support/wait-for-window.sh")
xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+q
ended_within "$pid" 300 || { fail "Ctrl+Q did not quit"; kill -KILL "$pid"; }
[ -L "$XDG_CONFIG_HOME/org.qorv.Qorv/qorv.cfg" ] || fail "the link was replaced by a file"
grep -q 'name="LAST_LIBRARY"' dotfiles/qorv.cfg || fail "the settings were not written where the link leads"

[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
